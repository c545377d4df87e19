proc main {} {
    set masses @M@
    set steps @S@
    set dt 0.0625
    set x {}
    set v {}
    set a {}
    for {set j 0} {$j < $masses} {incr j} {
        lappend x [expr {($j % 7 - 3) * 0.125}]
        lappend v 0.0
        lappend a 0.0
    }
    for {set step 0} {$step < $steps} {incr step} {
        for {set j 0} {$j < $masses} {incr j} {
            set left [expr {$j == 0 ? $masses - 1 : $j - 1}]
            set right [expr {$j + 1 == $masses ? 0 : $j + 1}]
            lset a $j [expr {[lindex $x $left] + [lindex $x $right] - 2.0 * [lindex $x $j]}]
        }
        for {set j 0} {$j < $masses} {incr j} {
            set vj [expr {[lindex $v $j] + [lindex $a $j] * $dt}]
            lset v $j $vj
            lset x $j [expr {[lindex $x $j] + $vj * $dt}]
        }
    }
    set energy 0.0
    for {set j 0} {$j < $masses} {incr j} {
        set right [expr {$j + 1 == $masses ? 0 : $j + 1}]
        set stretch [expr {[lindex $x $right] - [lindex $x $j]}]
        set vj [lindex $v $j]
        set energy [expr {$energy + ($vj * $vj + $stretch * $stretch) * 0.5}]
    }
    puts [format "RESULT %.6f %.6f" $energy [lindex $x 0]]
}
main
