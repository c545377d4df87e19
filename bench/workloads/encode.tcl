proc encode {l} {
    set parts {}
    foreach {a b} $l {
        lappend parts $a "\"$b\""
    }
    return "([join $parts " "])"
}
proc decode {e} {
    set d {}
    foreach {a b} [split [string range $e 1 end-1] " "] {
        lappend d $a [string range $b 1 end-1]
    }
    return $d
}
proc main {} {
    set l {}
    for {set i 0} {$i < @N@} {incr i 2} {
        lappend l $i [expr {$i}]
    }
    set n 0
    for {set r 0} {$r < @R@} {incr r} {
        set e [encode $l]
        set d [decode $e]
        incr n [llength $d]
    }
    puts "RESULT [string length $e] $n"
}
main
