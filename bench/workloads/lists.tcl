proc main {} {
    set l {}
    set i 0
    while {$i < @N@} {
        lappend l $i
        incr i
    }
    set s 0
    foreach e $l {
        incr s $e
    }
    puts "RESULT $s"
}
main
