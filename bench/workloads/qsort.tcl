proc random {limit} {
    global seed
    set seed [expr {$seed * 16807 % 2147483647}]
    return [expr {$seed % $limit}]
}
proc qsort {items} {
    if {[llength $items] < 2} { return $items }
    set pivot [lindex $items [expr {[llength $items] / 2}]]
    set less {}
    set same {}
    set more {}
    foreach x $items {
        if {$x < $pivot} {
            lappend less $x
        } elseif {$x == $pivot} {
            lappend same $x
        } else {
            lappend more $x
        }
    }
    return [concat [qsort $less] $same [qsort $more]]
}
proc main {} {
    set numbers {}
    for {set i 0} {$i < @N@} {incr i} {
        lappend numbers [random 100000]
    }
    set s [qsort $numbers]
    set check 0
    set bad 0
    set last -1
    set i 0
    foreach x $s {
        incr check [expr {$i * $x}]
        if {$x < $last} { incr bad }
        set last $x
        incr i
    }
    puts "RESULT [lindex $s 0] $last $check $bad"
}
set seed 42
main
