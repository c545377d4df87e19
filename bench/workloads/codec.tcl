proc main {} {
    set f [open "@FILE@" r]
    fconfigure $f -translation binary
    set t [read $f]
    close $f
    set n 0
    for {set i 0} {$i < @R@} {incr i} {
        set u [binary decode base64 [binary encode base64 $t]]
        incr n [string length $u]
    }
    puts "RESULT $n"
}
main
