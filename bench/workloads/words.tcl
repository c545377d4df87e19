proc random {limit} {
    global seed
    set seed [expr {$seed * 16807 % 2147483647}]
    return [expr {$seed % $limit}]
}
proc main {} {
    set vocab {the of and a to in is you that it he was for on are as with his they at
               be this have from or one had by word but}
    set n [llength $vocab]
    set text ""
    for {set i 0} {$i < @N@} {incr i} {
        append text [lindex $vocab [random $n]] [expr {$i % 12 == 11 ? "\n" : " "}]
    }
    append text "\n"
    set counts [dict create]
    foreach word [regexp -all -inline {\S+} $text] {
        dict incr counts $word
    }
    set check 0
    set k 1
    foreach w $vocab {
        incr check [expr {$k * [dict get $counts $w]}]
        incr k
    }
    puts "RESULT [dict size $counts] $check"
}
set seed 7
main
