"""Little-endian readers and writers for the game's binary network messages."""

import struct


class DecodeError(Exception):
    pass


class Reader:
    def __init__(self, data):
        self.data = data
        self.offset = 0

    def take(self, count):
        if count < 0 or self.offset + count > len(self.data):
            raise DecodeError("message too short")
        piece = self.data[self.offset:self.offset + count]
        self.offset += count
        return piece

    def uint8(self):
        return self.take(1)[0]

    def uint16(self):
        return struct.unpack("<H", self.take(2))[0]

    def uint32(self):
        return struct.unpack("<I", self.take(4))[0]

    def uintvar(self):
        value = 0
        for shift in range(0, 35, 7):
            byte = self.uint8()
            if shift == 28 and byte > 0x0F:
                raise DecodeError("variable-length number too large")
            value |= (byte & 0x7F) << shift
            if not byte & 0x80:
                return value
        raise DecodeError("variable-length number too long")

    def string(self):
        return self.take(self.uintvar()).decode("utf-8", errors="replace")

    def remaining(self):
        return len(self.data) - self.offset


def uint8(value):
    return struct.pack("<B", value)


def uint16(value):
    return struct.pack("<H", value)


def uint32(value):
    return struct.pack("<I", value)


def uintvar(value):
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        if value:
            out.append(byte | 0x80)
        else:
            out.append(byte)
            return bytes(out)


def string(text):
    data = text.encode("utf-8")
    return uintvar(len(data)) + data
