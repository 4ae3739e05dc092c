#!/usr/bin/env python3
# Writes the hand-made seeds of the targets that read their input through FuzzedDataProvider
# (run from tests/fuzz: ./make_seeds.py corpus). The provider takes integers from the end of
# the input and byte strings from its front.
import sys
class Seed:
    def __init__(self): self.front = bytearray(); self.back = bytearray()
    def int(self, value, nbytes=1):
        for i in reversed(range(nbytes)):
            self.back.append((value >> (8 * i)) & 0xFF)
    def bytes(self, data, length_bytes=1):
        self.int(len(data), length_bytes); self.front += data
    def data(self): return bytes(self.front) + bytes(reversed(self.back))

def coder_answer(s, field_rest, ack=True):
    s.int(2 if ack else 1)
    if ack:
        s.int(4); s.bytes(b'\x00')          # 18 00
    s.int(2); s.bytes(field_rest)           # request's first five bytes + payload

# The coder identifies itself: 7F, 7E and 7B answered as a T14 DSP would.
s = Seed()
s.int(0, 2); s.int(0)                        # address, ReadDeviceInfo
coder_answer(s, b'TXT7F\x00\x00\x00\x00\x00')
coder_answer(s, b'V2.15')
coder_answer(s, b'T14 DSP V2')
s.int(0, 2); s.int(1)                        # BIOS version query: answer MEC 7E, 7 bytes
s.int(1); s.int(0); s.bytes(b'\x7e\x05' + b'2.10' + b'\x00')
open(sys.argv[1] + '/coder_answers/identify_t14', 'wb').write(s.data())

# A serial update: firmware query, start, then in the BIOS erase, one block and the finish.
s = Seed()
for flag in [0, 0, 0, 0, 0, 0, 0, 0, 0]: s.int(flag)  # state .. mainPort
s.int(2)                                     # 9600 baud
s.int(0, 2)                                  # eraseMs 0
s.int(1)                                     # time scale 1
for flag in [0, 0, 0, 0]: s.int(flag)        # no faults
s.int(1)                                     # serial
codes = [0x7E, 0x87, 0xCE, 0x7B, 0x7F, 0xB1, 0xB2, 0xEF, 0x51, 0x50, 0x53, 0x06, 0x07, 0x04, 0x00]
def request(s, delay_us, bios_rate, code, args, counter):
    s.int(delay_us, 3); s.int(1 if bios_rate else 0)
    s.int(1)                                 # kind: coder request
    s.int(codes.index(code)); s.bytes(args)
    s.int(counter); s.int(0, 2)
    s.int(0)                                 # the line stays open
request(s, 0, False, 0x7E, b'', 0)
request(s, 0, False, 0xEF, b'', 1)
request(s, 3000000, True, 0x7E, b'', 2)
request(s, 0, True, 0x51, b'\x00', 3)
request(s, 0, True, 0x50, b'\x80\x00\x00\x00\x04TVER', 4)
request(s, 0, True, 0x53, b'', 5)
open(sys.argv[1] + '/sim_frames/serial_update', 'wb').write(s.data())
