#!/usr/bin/env python3
# Rough speed of the simulator over its pseudo-terminal: start time, a 100 KiB write in
# 200-digit blocks (no pacing), its read back, and the AT round trip.
# Usage: python3 tools/q5sim/speed_check.py build/release/bin/q5sim
import os, tty, time, subprocess, select, tempfile, sys
home = tempfile.mkdtemp()
env = dict(os.environ, ORKA_HOME=home)
t0 = time.time()
p = subprocess.Popen([sys.argv[1], "--store", home + "/s", "--com", "3"], env=env, stdout=subprocess.PIPE, text=True)
p.stdout.readline(); t1 = time.time()
fd = os.open(home + "/dosdevices/com3", os.O_RDWR | os.O_NOCTTY); tty.setraw(fd)
buf = b""
def line():
    global buf
    while b"\n" not in buf:
        select.select([fd],[],[])
        buf += os.read(fd, 65536)
    l, buf = buf.split(b"\n", 1); return l.rstrip(b"\r")
def cmd(c):
    os.write(fd, c.encode() + b"\r"); out = []
    while True:
        l = line(); out.append(l)
        if l in (b"OK", b"ERROR") or l.startswith(b"+CME"): return out
data = os.urandom(100 * 1024); hx = data.hex().upper()
blocks = [hx[i:i+200] for i in range(0, len(hx), 200)]
t2 = time.time()
for k, b in enumerate(blocks, 1):
    r = cmd('AT^QXBNW=7,1,0,%d,%d,%d,"%s"' % (len(blocks), k, len(b), b)); assert r == [b"OK"], r
t3 = time.time()
r = cmd("AT^QXBNR=7,1,0"); t4 = time.time()
got = bytes.fromhex("".join(l.split(b'"')[1].decode() for l in r[:-1])); assert got == data
n = 1000; t5 = time.time()
for i in range(n): cmd("AT")
t6 = time.time()
print("start %.0f ms; write 100 KiB in %d blocks: %.0f ms (%.2f ms/block); read back 100 KiB: %.0f ms; AT round trip %.3f ms" % ((t1-t0)*1000, len(blocks), (t3-t2)*1000, (t3-t2)*1000/len(blocks), (t4-t3)*1000, (t6-t5)*1000/n))
p.terminate(); p.wait()
import shutil; shutil.rmtree(home, ignore_errors=True)
