proc insertdict {target key value} {
    lassign $target keys values
    set position [lsearch -exact $keys $key]
    if {$position >= 0} {
        set keys [lreplace $keys $position $position]
        set values [lreplace $values $position $position]
    }
    lappend keys $key
    lappend values $value
    return [list $keys $values]
}
proc getdict {target key} {
    lassign $target keys values
    return [lindex $values [lsearch -exact $keys $key]]
}
proc main {} {
    set d [list {} {}]
    for {set i 0} {$i < @N@} {incr i} {
        set d [insertdict $d "k$i" $i]
    }
    set s 0
    for {set i 0} {$i < @N@} {incr i} {
        incr s [getdict $d "k$i"]
    }
    puts "RESULT $s"
}
main
