proc random {limit} {
    global seed
    set seed [expr {$seed * 16807 % 2147483647}]
    return [expr {$seed % $limit}]
}
proc main {} {
    set products {bolt nut washer hinge bracket spring}
    set text ""
    for {set i 0} {$i < @N@} {incr i} {
        set product [lindex $products [random [llength $products]]]
        set quantity [expr {[random 50] + 1}]
        set price [expr {[random 1000] + 1}]
        append text "$i,$product,$quantity,$price\n"
    }
    set f [open files-orders.csv w]
    puts -nonewline $f $text
    close $f

    set f [open files-orders.csv r]
    set data [read $f]
    close $f
    set lines 0
    set total 0
    foreach line [split [string trimright $data "\n"] "\n"] {
        lassign [split $line ","] id product quantity price
        incr total [expr {$quantity * $price}]
        incr lines
    }
    puts "RESULT [string length $data] $lines $total"
}
set seed 3
main
