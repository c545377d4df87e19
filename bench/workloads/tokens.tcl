proc random {limit} {
    global seed
    set seed [expr {$seed * 16807 % 2147483647}]
    return [expr {$seed % $limit}]
}
proc pickname {} {
    set names {count total x width index_ Value tmp rate}
    set name [lindex $names [random [llength $names]]]
    return $name[random 100]
}
proc main {} {
    set operators {+ - * / < ==}
    set text ""
    for {set i 0} {$i < @N@} {incr i} {
        set op [lindex $operators [random [llength $operators]]]
        set target [pickname]
        set left [pickname]
        set number [random 100000]
        append text "$target = ($left $op $number) * [pickname];\n"
    }
    # The class of each byte: 1 a letter, 2 a digit, 0 a blank, else punctuation.
    foreach c [split "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_" ""] {
        set class($c) 1
    }
    foreach c [split "0123456789" ""] {
        set class($c) 2
    }
    set class(\ ) 0
    set class(\n) 0
    set names 0
    set namebytes 0
    set numbers 0
    set total 0
    set puncts 0
    set kind 0
    set tok ""
    foreach c [split $text ""] {
        set k [expr {[info exists class($c)] ? $class($c) : 3}]
        if {$kind == 1 && ($k == 0 || $k == 3)} {
            incr names
            incr namebytes [string length $tok]
            set kind 0
        } elseif {$kind == 2 && $k != 2} {
            incr numbers
            incr total [scan $tok %d]
            set kind 0
        }
        if {$kind != 0} {
            append tok $c
        } elseif {$k == 3} {
            incr puncts
        } elseif {$k != 0} {
            set kind $k
            set tok $c
        }
    }
    puts "RESULT $names $namebytes $numbers $total $puncts"
}
set seed 11
main
