proc main {} {
    set total 0
    for {set i 0} {$i < @N@} {incr i} {
        set factor [expr {$i % 7 + 1}]
        set code "proc scale {a} {\n    set r \[expr {\$a * $factor}\]\n    return \[expr {\$r + $i}\]\n}"
        eval $code
        incr total [scale $i]
    }
    puts "RESULT $total"
}
main
