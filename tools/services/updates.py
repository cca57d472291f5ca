"""Korvane update check: answers GET <base>/<channel>?message=1&version=x.y.z with the
"update" document naming the latest version, where to get it and a message. Other requests
get no answer (None)."""

import urllib.parse

import gamexml


class Updates:
    def __init__(self, version, url, message):
        self.version = version
        self.url = url
        self.message = message

    def get(self, parts, query):
        if len(parts) != 1 or not parts[0].isdigit():
            return None
        wants_message = urllib.parse.parse_qs(query).get("message", ["0"])[0] == "1"
        return 200, gamexml.document("update", [("version", self.version), ("url", self.url),
                                                ("message", self.message if wants_message else "")])
