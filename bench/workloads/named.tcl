proc area {width height} {
    return [expr {$width * $height}]
}
proc volume {width height depth} {
    return [expr {[area $width $height] * $depth}]
}
proc price {width height depth rate discount} {
    set size [volume $width $height $depth]
    if {$size > 100} {
        return [expr {$size * $rate - $discount}]
    }
    return [expr {$size * $rate}]
}
proc main {} {
    set total 0
    for {set i 0} {$i < @N@} {incr i} {
        incr total [price [expr {$i % 10 + 1}] [expr {$i % 7 + 1}] [expr {$i % 5 + 1}] 3 25]
    }
    puts "RESULT $total"
}
main
