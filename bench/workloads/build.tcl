proc main {} {
    set s ""
    set i 0
    while {$i < @N@} {
        append s $i ,
        incr i
    }
    puts "RESULT [string length $s]"
}
main
