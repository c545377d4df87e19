proc main {} {
    set f [open "@FILE@" r]
    set t [read $f]
    close $f
    set n 0
    foreach c [split $t ""] {
        if {$c eq "e"} {
            incr n
        }
    }
    puts "RESULT $n"
}
main
