proc main {} {
    set s ""
    set i 0
    while {$i < @N@} {
        set s "$s$i,"
        incr i
    }
    puts "RESULT [string length $s]"
}
main
