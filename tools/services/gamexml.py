"""The game's XML dialect: elements with text or child elements, no attributes, and never
self-closing tags."""

import re
import xml.etree.ElementTree as ElementTree

ESCAPES = {"&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&apos;"}


def escape(text):
    return "".join(ESCAPES.get(c, c) for c in str(text))


def element(name, content):
    """One element; content is text, or a list of already written elements."""
    if isinstance(content, list):
        return "<%s>%s</%s>" % (name, "".join(content), name)
    return "<%s>%s</%s>" % (name, escape(content), name)


def document(name, children):
    """A whole reply: the root with children given as (name, value) pairs or element text."""
    parts = [child if isinstance(child, str) else element(*child) for child in children]
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + element(name, parts) + "\n"


class XMLError(Exception):
    pass


def parse(text):
    """The root element of a request body; refuses document types and entity declarations."""
    if re.search(r"<!", text):
        raise XMLError("declarations are not accepted")
    try:
        return ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        raise XMLError(str(error))


# The blanks the game's reader drops around a value; other white space (a no-break space, say)
# is part of the text the game signed.
BLANKS = " \t\r\n"


def child_text(root, name):
    child = root.find(name)
    return (child.text or "").strip(BLANKS) if child is not None else ""
