"""CPU time and memory of a running process, from /proc."""

import os

_TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """utime + stime of all the process's threads, in seconds."""
    with open("/proc/%d/stat" % pid) as stat:
        text = stat.read()
    # The command name may hold blanks and parentheses: fields start after the last ')'.
    fields = text[text.rindex(")") + 2:].split()
    utime, stime = int(fields[11]), int(fields[12])  # fields 14 and 15 of stat(5)
    return (utime + stime) / _TICKS_PER_SECOND


def memory_kib(pid):
    """{'Rss': kiB, 'Pss': kiB} from smaps_rollup."""
    figures = {}
    with open("/proc/%d/smaps_rollup" % pid) as rollup:
        for line in rollup:
            name, _, rest = line.partition(":")
            if name in ("Rss", "Pss"):
                figures[name] = int(rest.split()[0])
    return figures
