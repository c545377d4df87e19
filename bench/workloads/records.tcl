proc random {limit} {
    global seed
    set seed [expr {$seed * 16807 % 2147483647}]
    return [expr {$seed % $limit}]
}
proc main {} {
    set departments {sales tools books garden toys}
    set staff {}
    for {set i 0} {$i < @N@} {incr i} {
        set department [lindex $departments [random 5]]
        set pay [expr {1000 + [random 9000]}]
        set street "[random 200] Main Street"
        set zip [expr {10000 + [random 90000]}]
        lappend staff [dict create id $i name person$i department $department pay $pay \
                           home [dict create street $street zip $zip]]
    }
    set raised {}
    foreach p $staff {
        if {[dict get $p department] eq "books"} {
            dict incr p pay 150
        }
        if {[dict get $p home zip] < 20000} {
            dict set p home zip [expr {[dict get $p home zip] + 1}]
        }
        lappend raised $p
    }
    set staff $raised
    foreach d $departments {
        set totals($d) 0
    }
    set zips 0
    set namebytes 0
    foreach p $staff {
        incr totals([dict get $p department]) [dict get $p pay]
        incr zips [dict get $p home zip]
        incr namebytes [string length [dict get $p name]]
    }
    set shown {}
    foreach d $departments {
        lappend shown $totals($d)
    }
    puts "RESULT \[[join $shown ", "]\] $zips $namebytes"
}
set seed 5
main
