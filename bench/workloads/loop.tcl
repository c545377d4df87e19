proc main {} {
    set s 0
    set i 0
    while {$i < @N@} {
        incr s $i
        incr i
    }
    puts "RESULT $s"
}
main
