proc main {} {
    set n @N@
    set flags [lrepeat $n 1]
    lset flags 0 0
    lset flags 1 0
    for {set p 2} {$p * $p < $n} {incr p} {
        if {[lindex $flags $p]} {
            for {set m [expr {$p * $p}]} {$m < $n} {incr m $p} {
                lset flags $m 0
            }
        }
    }
    set count 0
    set total 0
    set i 0
    foreach prime $flags {
        if {$prime} {
            incr count
            incr total $i
        }
        incr i
    }
    puts "RESULT $count $total"
}
main
