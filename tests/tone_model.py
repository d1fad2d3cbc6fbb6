#!/usr/bin/env python3
"""Compares every byte varnok-render (the argument) writes for a spread of tones with a model
written from the definitions alone: doubles, f32() where a 32-bit real is stored, and correctly
rounded sin, cos, acos, pow and log10 (mpmath at 120 bits).  White Noise is not modelled."""
import math, struct, subprocess, sys, tempfile
import mpmath
mpmath.mp.prec = 120
def rounded(f):  # mpmath's context rounds to nearest, and carries NaN through
    return lambda *args: float(f(*map(mpmath.mpf, args)))
sin, cos = rounded(mpmath.sin), rounded(mpmath.cos)
def acos(x): return rounded(mpmath.acos)(x) if -1<=x<=1 else float('nan')
def log10(x): return -math.inf if x == 0 else rounded(mpmath.log10)(x)
def power(c, y): return rounded(mpmath.power)(c, y) if c > 0 else math.pow(c, y)
def f32(x):
    try: return struct.unpack('f', struct.pack('f', x))[0]
    except OverflowError: return math.copysign(math.inf, x)
PI=f32(math.pi); TWO=f32(2*math.pi); HALF=f32(math.pi/2); PID=math.pi
def q(x, lo, hi):  # rounded to nearest; NaN, infinities and values out of range give lo
    return lo if x!=x or math.isinf(x) or not lo<=round(x)<=hi else round(x)
q16=lambda x:q(x,-32768,32767); q32=lambda x:q(x,-2**31,2**31-1)
low16=lambda n: (n&0xffff)-65536 if n&0x8000 else n&0xffff
rha=lambda x: math.floor(x+0.5) if x>0 else math.ceil(x-0.5)
sign=lambda x: 1 if x>0 else (-1 if x<0 else 0)
def sqrt(x): return math.sqrt(x) if x>=0 else float('nan')
def render(rate,width,channels,style,freq,dur,amp,sweep,fin,fout):
    rate=5512 if rate<=5512 else 11025 if rate<=11025 else 22050 if rate<=22050 else 44100
    dur=f32(dur); freq=f32(freq); sweep=f32(sweep)
    dur=max(dur,f32(0.1))
    planned_size=round(rate*dur)*width*channels; riff_size=planned_size+36; riff_size+= riff_size&1
    block=riff_size+8
    img=bytearray([128 if width==1 else 0])*block
    def clamp(fr):
        return f32(rate/2-1) if fr>=rate/2 else f32(20.0) if fr<20 else fr
    freq=clamp(freq); f=f32(rha(freq*dur)/dur)
    amp=max(0,min(100,amp)); mode=(1 if fin else 0)+(2 if fout else 0)
    if sweep:
        e=clamp(sweep); m=f32((f+e)/2); m=f32(rha(m*dur)/dur); e=f32(2*m-f); span=f32(e-f)
    data_size=q32(dur*rate*width*channels)
    data_size+=data_size&1
    data_size=max(0,min(data_size, block-44)); data_size-=data_size%(width*channels)
    img[:44]=b'RIFF'+struct.pack('<I',riff_size)+b'WAVEfmt '+struct.pack('<IHHIIHH',16,1,channels,rate,rate*width*channels,width*channels,width*8)+b'data'+struct.pack('<I',data_size)
    dphi=f32(f/rate*TWO); phi=f32(0.0); frames=data_size//(width*channels)
    if sweep: df=f32(span/frames)
    peak=f32((2**(8*width)/2-1)*amp/100)
    if style==5:
        a=f32(acos(f32(1/math.sqrt(3)))); peak=f32(peak/(sin(a)*sin(2*a))); phi=HALF
    elif style==6: peak=f32(peak/2.25)
    elif style==4: phi=HALF
    elif style in (1,2): phi=PI
    lg = f32(log10(peak)) if peak>0 else -math.inf
    pos=44
    for i in range(frames):
        if style==0: s=q16(peak*sin(phi))
        elif style==1: s=q16(peak*(phi-PI)/PI)
        elif style==2:
            c=f32(cos((phi-PI)/PI)); pw=f32(power(c,PI)); s=q16(pw*sin(peak+PID)*peak)
        elif style==3: s=q16(peak*sign(PI-phi))
        elif style==4: s=q16(peak*(1+sign(PI-phi)*(phi-PI)/HALF))
        elif style==5:
            s=low16(q32(abs(peak*sqrt(q16((sin(phi)*sin(2*phi))*peak)*lg))))
        elif style==6:
            an=f32(acos(f32(math.sqrt(phi))))
            s=q16(-sqrt((sin(an)*cos(phi))*peak))
        elif style==8: s=q16(-(peak*sin(phi)))
        t=i/frames
        if mode==1: s=q16(s*t)
        elif mode==2: s=q16(s*(1-t))
        elif mode==3: s=q16(((1-t)*(4*s))*t)
        img[pos:pos+width*channels]=(bytes([(s+128)&0xff]) if width==1 else struct.pack('<h',s))*channels
        if sweep:
            cur=f32(i*df+f); dphi=f32(cur/rate*TWO)
        phi=f32(phi+dphi)
        if phi>TWO: phi=f32(phi-TWO)
        pos+=width*channels
    return bytes(img)
# rate bytes channels style frequency duration amplitude sweep fade-in fade-out
CASES = """\
44100 2 1 0 315 1 25 0 0 0
44100 2 2 0 1000 0.5 100 0 1 1
5512 2 1 0 1000 1 100 0 0 0
5512 1 2 1 5000 1 100 0 0 1
11025 1 1 3 1000 1 100 0 0 0
22050 2 2 1 440.3 0.7 73 8 1 0
44100 1 1 2 315 0.5 100 0 0 0
44100 2 1 2 315 0.5 100 0 0 0
11025 2 2 2 99.9 0.3 60 3000.5 1 1
22050 1 1 3 12.5 1 50 20000 0 1
5512 2 2 4 2755 1 25 315 1 0
44100 2 1 4 31.5 0.4 150 1000 0 0
44100 2 1 5 315 0.5 100 0 0 0
11025 1 2 5 1000 0.5 100 500 1 1
22050 2 1 5 6300 0.3 0 0 0 0
5512 2 1 6 1000 1 100 0 0 0
44100 2 2 6 315 0.5 -5 0 0 0
44100 1 1 6 250 0.5 100 7777 1 0
11025 1 1 8 5512.5 1 100 0 0 0
22050 2 1 8 20000 0.5 25 8 0 1
44100 2 1 0 315 2.3333 25 0 0 0
11025 1 1 1 777 0.13 100 0 1 1
5512 2 2 3 20 0 100 0 0 0
44100 2 1 0 99999 0.2 100 0 0 0
44100 2 1 0 8 0.3 25 0 0 0
5512 1 1 3 5000 0.5 100 0 0 0
44100 2 1 3 315 0.5 100 8 0 0
44100 2 1 4 315 0.5 100 315 1 1
44100 2 1 0 440.3 2 25 0 0 0
"""
if __name__ == '__main__':
    failed = 0
    out = tempfile.NamedTemporaryFile(suffix='.wav')
    for case in CASES.splitlines():
        rate, width, channels, style, freq, dur, amp, sweep, fin, fout = case.split()
        args = ['--rate', rate, '--bits', str(8 * int(width)), '--channels', channels, '--style',
                style, '--frequency', freq, '--duration', dur, '--amplitude', amp, '--sweep', sweep]
        args += ['--fade-in'] * (fin == '1') + ['--fade-out'] * (fout == '1')
        status = subprocess.run([sys.argv[1], *args, '--output', out.name]).returncode
        got = open(out.name, 'rb').read()
        want = render(*map(int, (rate, width, channels, style)), float(freq), float(dur), int(amp),
                      float(sweep), fin == '1', fout == '1')
        if status or got != want:
            at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), len(got))
            print(f'differs: {case}: status {status}, byte {at} of {len(got)} ({len(want)} wanted)')
            failed += 1
    print(f'model: {len(CASES.splitlines()) - failed} passed, {failed} failed')
    sys.exit(failed > 0)
