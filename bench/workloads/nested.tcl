proc main {} {
    set check 0
    set size 0
    for {set round 0} {$round < @R@} {incr round} {
        set orders {}
        for {set i 0} {$i < @N@} {incr i} {
            set lines {}
            for {set j 0} {$j < 3} {incr j} {
                lappend lines [list part[expr {$i + $j}] [expr {$i % 5 + $j + 1}] [expr {$round + $j}]]
            }
            lappend orders [list $i customer[expr {$i % 97}] $lines]
        }
        # A list's text is Tcl's own serial form: a new string of it is the
        # encoding, and reading that string as a list is the decoding.
        set text [string range $orders 0 end]
        set back $text
        foreach order $back {
            lassign $order id customer items
            incr check [expr {$id + [string length $customer]}]
            foreach item $items {
                lassign $item part count extra
                incr check [expr {$count * $extra}]
            }
        }
        incr size [llength $back]
    }
    puts "RESULT $size $check"
}
main
