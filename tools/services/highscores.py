"""Korvane high-score service: scores signed with MD5, kept in SQLite.

GET  <base>/<gameid>/<level>?limit=N  the best N scores of a level (at most 100), best first
POST <base>                           one signed "highscore" document

Malformed requests get no answer (None); a badly signed score is refused with 403.
"""

import hashlib
import sqlite3
import threading
import time
import urllib.parse

import gamexml

DEFAULT_KEY = "5be07a3c91d4f268"
MAX_LIMIT = 100
MAX_FIELD = 256
CONTENT_TYPE = "application/xml"
# The game takes at most 4096 bytes of reply, headers included; a table is cut short (losing
# its lowest entries) rather than grow past this, so long names cannot make it unreadable.
MAX_TABLE_BODY = 3584


class HighScores:
    def __init__(self, database, key):
        self.key = key
        self.lock = threading.Lock()
        self.db = sqlite3.connect(database, check_same_thread=False)
        self.db.execute("CREATE TABLE IF NOT EXISTS highscore (gameid INTEGER, version TEXT, level TEXT,"
                        " name TEXT, score INTEGER, custom TEXT, timestamp INTEGER)")
        self.db.execute("CREATE INDEX IF NOT EXISTS highscore_level ON highscore (gameid, level, score)")
        self.db.commit()

    def get(self, parts, query):
        """parts: the path below the base, split at "/"."""
        if len(parts) != 2 or not parts[0].isdigit() or not parts[1]:
            return None
        game_id = int(parts[0])
        level = urllib.parse.unquote(parts[1])
        try:
            limit = int(urllib.parse.parse_qs(query).get("limit", ["5"])[0])
        except ValueError:
            return None
        limit = max(0, min(limit, MAX_LIMIT))
        with self.lock:
            rows = self.db.execute("SELECT level, name, score, custom, timestamp FROM highscore"
                                   " WHERE gameid = ? AND level = ? ORDER BY score DESC, timestamp ASC LIMIT ?",
                                   (game_id, level, limit)).fetchall()
        entries = []
        size = len(gamexml.document("highscores", []))
        for row in rows:
            entry = gamexml.element("highscore", [gamexml.element("level", row[0]), gamexml.element("name", row[1]),
                                                  gamexml.element("score", row[2]), gamexml.element("custom", row[3]),
                                                  gamexml.element("timestamp", row[4])])
            size += len(entry.encode("utf-8"))
            if size > MAX_TABLE_BODY:
                break
            entries.append(entry)
        return 200, gamexml.document("highscores", entries)

    def post(self, body):
        try:
            root = gamexml.parse(body.decode("utf-8"))
        except (UnicodeDecodeError, gamexml.XMLError):
            return None
        if root.tag != "highscore":
            return None
        fields = {name: gamexml.child_text(root, name)
                  for name in ("gameid", "version", "level", "name", "score", "custom", "checksum")}
        if any(len(value) > MAX_FIELD for value in fields.values()) or not fields["level"] or not fields["name"]:
            return None
        try:
            game_id = int(fields["gameid"])
            score = int(fields["score"])
        except ValueError:
            return None
        # The game keeps scores in 32 bits; anything wider would read back as another score.
        if not (0 <= game_id <= 0xFFFFFFFF and -2**31 <= score < 2**31):
            return None
        signed = "".join(fields[name] for name in ("gameid", "version", "level", "name", "score", "custom"))
        expected = hashlib.md5((signed + self.key).encode("utf-8")).hexdigest()
        if fields["checksum"].lower() != expected:
            return 403, gamexml.document("error", [("message", "bad signature")])
        with self.lock:
            self.db.execute("INSERT INTO highscore VALUES (?, ?, ?, ?, ?, ?, ?)",
                            (game_id, fields["version"], fields["level"], fields["name"], score,
                             fields["custom"], int(time.time())))
            self.db.commit()
        return 200, gamexml.document("result", [("message", "ok")])
