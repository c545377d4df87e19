proc f {a} {
    set t [expr {$a + 1}]
    if {$t > 5} { return 1 }
    return 0
}
proc main {} {
    set s 0
    set i 0
    while {$i < @N@} {
        incr s [f $i]
        incr i
    }
    puts "RESULT $s"
}
main
