# Counts each launch_bench candidate's wine-server requests from a trace of a
# wine server started with -d1 (one line per request and one per reply):
# from the process's first request until launch_bench marks it painted, and
# between its idle marks (see Mark in launch_bench.cpp), per second.
#   awk -v idle_seconds=S -f server_requests.awk TRACE
# Prints the totals per candidate, then the kinds of request where the
# program's count differs from the hand-written program's (start-up) and from
# bare_window's (idle). Plain POSIX awk (mawk).

function field(text, key,    at, value) {
    at = index(text, key)
    if (at == 0) return ""
    value = substr(text, at + length(key))
    sub(/[,} )].*/, "", value)
    return value
}

# "...imagepath=L\"Z:\\work\\x.exe\"..." -> "x"
function image_name(text,    at, path, parts, count) {
    at = index(text, "imagepath=L\"")
    if (at == 0) return "?"
    path = substr(text, at + 12)
    path = substr(path, 1, index(path, "\"") - 1)
    count = split(path, parts, /\\/)
    while (count > 1 && parts[count] == "") count--
    path = parts[count]
    sub(/\.exe$/, "", path)
    return (substr(text, at + 12, 2) == "C:" ? "system:" : "") path
}

/^[0-9a-f][0-9a-f][0-9a-f][0-9a-f]: [a-z_0-9]+\(/ {
    tid = substr($0, 1, 4)
    rest = substr($0, 7)
    open = index(rest, "(")
    name = substr(rest, 1, open - 1)
    args = substr(rest, open + 1)
    if (substr(args, 1, 4) == ") = ") {  # a reply
        if (name == "init_first_thread") {
            process_of[field(args, "tid=")] = field(args, "pid=")
        } else if (name == "new_thread") {
            if (tid in process_of) process_of[field(args, "tid=")] = process_of[tid]
        } else if (name == "new_process" && (tid in starting)) {
            pid = field(args, "pid=")
            image[pid] = starting[tid]
            if (image[pid] !~ /^system:/) {
                candidate = pid
                launches[image[pid]]++
                if (!(image[pid] in seen)) { seen[image[pid]] = 1; order[++images] = image[pid] }
            }
            delete starting[tid]
        }
        next
    }
    if (name == "new_process") starting[tid] = image_name(args)
    if (name == "open_event" && index(args, "ZudizazuzLaunchBench.") > 0) {
        moment = substr(args, index(args, "ZudizazuzLaunchBench.") + 21)
        sub(/".*/, "", moment)
        if (candidate != "") phase[candidate] = moment
        next
    }
    if (!(tid in process_of)) next
    pid = process_of[tid]
    if (!(pid in image) || image[pid] ~ /^system:/) next
    who = image[pid]
    if (!(pid in phase)) {
        startup[who]++
        startup_kind[who, name]++
        kinds[name] = 1
    } else if (phase[pid] == "idle") {
        idle[who]++
        idle_kind[who, name]++
        kinds[name] = 1
    }
}

function difference(title, counts, a, b, scale, per,    k, n, i, j, list, d, t) {
    n = 0
    for (k in kinds) {
        d = (counts[a, k] - counts[b, k]) / scale
        if (d > 0.05 || d < -0.05) { list[++n] = k }
    }
    # by size of the difference, largest first (insertion sort: the lists are short)
    for (i = 2; i <= n; i++) {
        t = list[i]
        for (j = i - 1; j >= 1 && abs_diff(counts, a, b, list[j]) < abs_diff(counts, a, b, t); j--) list[j + 1] = list[j]
        list[j + 1] = t
    }
    printf "%s\n", title
    if (n == 0) printf "  (none)\n"
    for (i = 1; i <= n && i <= 12; i++) {
        k = list[i]
        printf "  %-28s %8.1f %8.1f %+8.1f%s\n", k, counts[a, k] / scale, counts[b, k] / scale,
               (counts[a, k] - counts[b, k]) / scale, per
    }
}

function abs_diff(counts, a, b, k,    d) {
    d = counts[a, k] - counts[b, k]
    return d < 0 ? -d : d
}

END {
    if (idle_seconds <= 0) idle_seconds = 1
    printf "%-16s %10s %14s %9s\n", "candidate", "launches", "to painted", "idle /s"
    for (i = 1; i <= images; i++) {
        who = order[i]
        printf "%-16s %10d %14.1f %9.1f\n", who, launches[who], startup[who] / launches[who],
               idle[who] / launches[who] / idle_seconds
    }
    for (i = 1; i <= images; i++) {
        for (k in kinds) startup_kind[order[i], k] /= launches[order[i]]
    }
    if (("zudizazuz" in launches) && ("hand_written" in launches)) {
        printf "\n"
        difference("to painted, by request: program, hand_written, difference", startup_kind,
                   "zudizazuz", "hand_written", 1, "")
    }
    if (("hand_written" in launches) && ("bare_browser" in launches)) {
        printf "\n"
        difference("to painted, by request: hand_written, bare_browser, difference (the form, common\n" \
                   "controls 6, the event sink and the shortcuts)", startup_kind,
                   "hand_written", "bare_browser", 1, "")
    }
    if (("zudizazuz" in launches) && ("bare_window" in launches)) {
        for (k in kinds) {
            idle_kind["zudizazuz", k] /= launches["zudizazuz"]
            idle_kind["bare_window", k] /= launches["bare_window"]
        }
        printf "\n"
        difference("idle, by request, per second: program, bare_window, difference", idle_kind,
                   "zudizazuz", "bare_window", idle_seconds, "")
    }
}
