#!/usr/bin/env python3
"""Korvane match maker: one port for UDP announcements (with verification), UDP NAT
punch-through relay and TCP match queries.

A hosting game announces its match over UDP (message 100). The first announcement from an
address is answered with a verification code (101); the match is listed once an announcement
carries that code back, which proves the announcer really owns its address. Joining players
ask for the list over TCP (102 one match by name, 103 a filtered list) and may ask over UDP
for a punch-through (120), which is relayed only to a listed match. Malformed or unknown
requests get no answer, and no UDP reply is ever larger than its request.
"""

import argparse
import collections
import logging
import random
import selectors
import socket
import threading
import time

import wire

ANNOUNCEMENT = 100
VERIFICATION = 101
MATCH_QUERY = 102
LIST_QUERY = 103
RESPONSE = 104
PUNCH_THROUGH = 120

MAX_DATAGRAM = 512
PUNCH_THROUGH_SIZE = 13
MAX_REQUEST_BODY = 509
MAX_RESPONSE = 65535
QUERY_TIMEOUT = 4.0
# Listed matches remembered at once; more are not listed.
MAX_MATCHES = 10000
# Announcers waiting for verification, kept apart from the listed matches and only briefly:
# anyone can announce from a forged address, and such announcements must never crowd out a
# real host. When the table is full the oldest waiting announcer makes room; a game answers
# with its code five seconds after its first announcement.
MAX_PENDING = 1000
PENDING_EXPIRY = 30.0
# TCP queries served at once; connections beyond this are closed unanswered, so a flood of
# idle connections cannot use up the process's threads or file handles.
MAX_QUERIES = 32


class Match:
    def __init__(self, address):
        self.address = address
        self.game_id = 0
        self.match_id = 0
        self.name = ""
        self.info = ""
        self.flags = 0
        self.value = 0
        self.code = 0
        self.verified = False
        self.seen = 0.0


class MatchMaker:
    def __init__(self, host, port, expiry):
        self.expiry = expiry
        self.matches = {}
        # Announcers waiting for verification, oldest first.
        self.pending = collections.OrderedDict()
        self.lock = threading.Lock()
        self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.udp.bind((host, port))
        self.tcp = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.tcp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.tcp.bind((host, port))
        self.tcp.listen(16)
        self.queries = threading.BoundedSemaphore(MAX_QUERIES)

    # --- UDP ---------------------------------------------------------------------------

    def handle_datagram(self, data, sender):
        if not data or len(data) > MAX_DATAGRAM:
            return None
        try:
            if data[0] == ANNOUNCEMENT:
                return self.announce(data, sender)
            if data[0] == PUNCH_THROUGH:
                return self.punch_through(data, sender)
        except wire.DecodeError as error:
            logging.debug("Dropped datagram from %s: %s", sender, error)
        return None

    def announce(self, data, sender):
        reader = wire.Reader(data)
        reader.uint8()
        game_id = reader.uint16()
        reader.uint16()  # local address hash
        match_id = reader.uint8()
        name = reader.string()
        info = reader.string()
        flags = reader.uint32()
        value = reader.uint32()
        code = reader.uint32()
        if reader.remaining() or not name:
            return None
        now = time.monotonic()
        with self.lock:
            match = self.matches.get(sender) or self.pending.get(sender)
            if match is None or code != match.code:
                if match is None:
                    self.expire_pending(now)
                    if len(self.pending) >= MAX_PENDING:
                        self.pending.popitem(last=False)
                    match = Match(sender)
                    match.code = random.randint(1, 0xFFFFFFFF)
                    match.seen = now
                    self.pending[sender] = match
                elif match.verified:
                    match.seen = now
                # One line per datagram from unverified senders would let a flood fill the log.
                logging.debug("Verifying announcement from %s:%d", *sender)
                return sender, wire.uint8(VERIFICATION) + wire.uint32(match.code)
            if not match.verified:
                if len(self.matches) >= MAX_MATCHES:
                    return None
                del self.pending[sender]
                self.matches[sender] = match
            match.game_id, match.match_id, match.name, match.info = game_id, match_id, name, info
            match.flags, match.value, match.verified, match.seen = flags, value, True, now
        logging.info("Match '%s' from %s:%d listed", name, *sender)
        return None

    def punch_through(self, data, sender):
        if len(data) != PUNCH_THROUGH_SIZE:
            return None
        reader = wire.Reader(data)
        reader.uint8()
        if reader.uint32() != 0 or reader.uint16() != 0:
            return None
        address = reader.uint32()
        port = reader.uint16()
        target = (socket.inet_ntoa(wire.uint32(address)[::-1]), port)
        with self.lock:
            match = self.matches.get(target)
            if match is None or not match.verified:
                return None
        client = struct_address(sender)
        forward = (wire.uint8(PUNCH_THROUGH) + wire.uint16(sender[1]) + wire.uint32(client) +
                   wire.uint16(port) + wire.uint32(address))
        logging.info("Punch-through from %s:%d to %s:%d", sender[0], sender[1], target[0], target[1])
        return target, forward

    def expire(self):
        now = time.monotonic()
        limit = now - self.expiry
        with self.lock:
            for key in [key for key, match in self.matches.items() if match.seen < limit]:
                del self.matches[key]
            self.expire_pending(now)

    def expire_pending(self, now):
        """Drops announcers that did not answer in time; the caller holds the lock."""
        while self.pending and next(iter(self.pending.values())).seen < now - PENDING_EXPIRY:
            self.pending.popitem(last=False)

    # --- TCP ---------------------------------------------------------------------------

    def handle_query(self, connection):
        try:
            connection.settimeout(QUERY_TIMEOUT)
            request = b""
            deadline = time.monotonic() + QUERY_TIMEOUT
            while time.monotonic() < deadline:
                if len(request) >= 3 and len(request) >= 3 + wire.Reader(request[1:3]).uint16():
                    break
                piece = connection.recv(MAX_REQUEST_BODY + 3 - len(request))
                if not piece or len(request) + len(piece) > MAX_REQUEST_BODY + 3:
                    return
                request += piece
            reply = self.answer(request)
            if reply:
                connection.sendall(reply)
        except (OSError, wire.DecodeError) as error:
            logging.debug("Query dropped: %s", error)
        finally:
            connection.close()
            self.queries.release()

    def answer(self, request):
        reader = wire.Reader(request)
        message = reader.uint8()
        length = reader.uint16()
        if length > MAX_REQUEST_BODY or reader.remaining() != length:
            return None
        game_id = reader.uint16()
        if message == MATCH_QUERY:
            name = reader.string()
            if reader.remaining():
                return None
            found = [m for m in self.listed(game_id) if m.name == name][:1]
            return self.response(game_id, found) if found else None
        if message == LIST_QUERY:
            name_filter = reader.string().lower()
            value3, value1, value2 = reader.uint32(), reader.uint32(), reader.uint32()
            max_count = reader.uint16()
            if reader.remaining():
                return None
            found = [m for m in self.listed(game_id)
                     if name_filter in m.name.lower()
                     and (value3 == 0 or m.value == value3)
                     and (m.flags & value2) == value1]
            return self.response(game_id, found[:max_count])
        return None

    def listed(self, game_id):
        self.expire()
        with self.lock:
            return [m for m in self.matches.values() if m.verified and m.game_id == game_id]

    @staticmethod
    def response(game_id, matches):
        records = []
        size = 7
        for match in matches:
            record = (wire.string(match.name) + wire.string(match.info) + wire.uint32(match.flags) +
                      wire.uint32(match.value) + wire.uint32(struct_address(match.address)) +
                      wire.uint16(match.address[1]))
            if size + len(record) > MAX_RESPONSE:
                break
            records.append(record)
            size += len(record)
        body = wire.uint16(game_id) + wire.uint16(len(records)) + b"".join(records)
        return wire.uint8(RESPONSE) + wire.uint16(min(len(body), 0xFFFF)) + body

    # --- loop --------------------------------------------------------------------------

    def serve(self):
        selector = selectors.DefaultSelector()
        selector.register(self.udp, selectors.EVENT_READ, "udp")
        selector.register(self.tcp, selectors.EVENT_READ, "tcp")
        while True:
            for key, _ in selector.select(timeout=1.0):
                try:
                    if key.data == "udp":
                        self.serve_datagram()
                    else:
                        self.serve_connection()
                except OSError as error:
                    # Out of handles, or a peer that vanished: drop it and go on serving.
                    logging.warning("%s socket: %s", key.data.upper(), error)
                    time.sleep(0.05)
            self.expire()

    def serve_datagram(self):
        data, sender = self.udp.recvfrom(MAX_DATAGRAM + 1)
        reply = self.handle_datagram(data, sender)
        if reply and len(reply[1]) <= len(data):
            self.udp.sendto(reply[1], reply[0])

    def serve_connection(self):
        connection, _ = self.tcp.accept()
        if not self.queries.acquire(blocking=False):
            connection.close()
            return
        try:
            threading.Thread(target=self.handle_query, args=(connection,), daemon=True).start()
        except RuntimeError:
            connection.close()
            self.queries.release()


def struct_address(address):
    """The dotted address as the game's host-order number."""
    return int.from_bytes(socket.inet_aton(address[0]), "big")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="0.0.0.0", help="address to listen on (default all)")
    parser.add_argument("--port", type=int, default=4000, help="UDP and TCP port (default 4000)")
    parser.add_argument("--expiry", type=float, default=60.0,
                        help="seconds a match stays listed without a new announcement (default 60)")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    logging.basicConfig(level=logging.DEBUG if args.verbose else logging.INFO,
                        format="%(asctime)s matchmaker %(message)s")
    server = MatchMaker(args.host, args.port, args.expiry)
    logging.info("Match maker on %s port %d", args.host, args.port)
    try:
        server.serve()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
