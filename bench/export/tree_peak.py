"""Runs COMMAND with standard input from INPUT and reports its wall time, the processor
time of its whole process tree (each process as last sampled) and the peak resident and
proportional memory of that tree, sampled every 50 ms.

Usage: tree_peak.py INPUT COMMAND...
"""
import os, subprocess, sys, time

def children_map():
    kids = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                data = f.read()
        except OSError:
            continue
        ppid = int(data.rsplit(")", 1)[1].split()[1])
        kids.setdefault(ppid, []).append(int(entry))
    return kids

def tree(root):
    kids = children_map()
    out, todo = [], [root]
    while todo:
        p = todo.pop()
        out.append(p)
        todo.extend(kids.get(p, []))
    return out

def memory(pid, key):
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith(key):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0

stdin = open(sys.argv[1], "rb")
start = time.perf_counter()
proc = subprocess.Popen(sys.argv[2:], stdin=stdin)
peak_rss = peak_pss = 0
cpu = {}
def cputime(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        name = open("/proc/%d/comm" % pid).read().strip()
        return name, (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except OSError:
        return None, 0
while proc.poll() is None:
    pids = tree(proc.pid)
    for p in pids:
        name, t = cputime(p)
        if name:
            cpu[p] = (name, max(t, cpu.get(p, (name, 0))[1]))
    peak_rss = max(peak_rss, sum(memory(p, "Rss:") for p in pids))
    peak_pss = max(peak_pss, sum(memory(p, "Pss:") for p in pids))
    time.sleep(0.05)
wall = time.perf_counter() - start
by = {}
for name, t in cpu.values():
    by[name] = by.get(name, 0) + t
print("cpu by process name: " + ", ".join("%s %.2f" % kv for kv in sorted(by.items(), key=lambda kv: -kv[1])), file=sys.stderr)
print("cpu total %.2f s" % sum(by.values()), file=sys.stderr)
print("exit %d, %.2f s wall, peak over the tree: RSS %d MB, PSS %d MB"
      % (proc.returncode, wall, peak_rss // 1024, peak_pss // 1024), file=sys.stderr)
