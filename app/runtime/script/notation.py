"""What the plain-text notations (the web-novel sites' and 青空文庫's) are written from:
the blocks of the export document in order, and the text of a line cut into runs of
plain text, emphasis, ruby and 縦中横, each told apart so that a notation can write it
its own way. Nothing here recurses: elements may nest a thousand levels deep.
"""

import exportxml

K = exportxml

# Kinds of a run of a line's text.
TEXT = "text"
RUBY = "ruby"
TCY = "tcy"


class Run:
    """A piece of a line: `kind` TEXT (text), RUBY (text is the base, reading its
    reading) or TCY (text set upright, 縦中横); `em` whether it is emphasised (for a
    ruby: its base, or part of it)."""

    __slots__ = ("kind", "text", "reading", "em")

    def __init__(self, kind, text, reading=None, em=False):
        self.kind = kind
        self.text = text
        self.reading = reading
        self.em = em

    def __repr__(self):
        return "Run(%r, %r, %r, %r)" % (self.kind, self.text, self.reading, self.em)


def _base(ruby):
    """(base text, whether any of it is emphasised, readings of rubies inside it) of a
    ruby: a ruby inside a ruby's base keeps its reading written after it in （）."""
    parts, em, inner = [], False, 0
    pending = list(reversed(ruby.children))
    while pending:
        item = pending.pop()
        if isinstance(item, str):
            parts.append(item.replace("\n", ""))
        elif isinstance(item, _Close):
            parts.append(item)
        else:
            if item.kind == K.KIND_EM:
                em = True
            if item.kind == K.KIND_RUBY:
                inner += 1
                reading = (item.params() or [""])[0]
                if reading:
                    pending.append(_Close("（%s）" % reading))
            pending.extend(reversed(item.children))
    return "".join(parts), em, inner


class _Close(str):
    """Text put after an element's children (a nested ruby's reading)."""


class _EmEnd:
    """The end of an emphasis in the work list."""


EM_END = _EmEnd()


def runs(children, nested=None):
    """The runs of a line whose content is `children` (strings and inline elements),
    adjacent text runs of the same emphasis joined. nested, when given, is a list that
    gets one entry per ruby written inside another ruby's base."""
    out = []
    em = 0
    pending = list(reversed(children))

    def add(kind, text, reading=None, emphasis=False):
        if kind == TEXT and not text:
            return
        if kind == TEXT and out and out[-1].kind == TEXT and out[-1].em == emphasis:
            out[-1].text += text
        else:
            out.append(Run(kind, text, reading, emphasis))

    while pending:
        item = pending.pop()
        if item is EM_END:
            em -= 1
        elif isinstance(item, str):
            add(TEXT, item.replace("\n", ""), None, em > 0)
        elif item.kind == K.KIND_RUBY:
            base, base_em, inner = _base(item)
            if inner and nested is not None:
                nested.append(base)
            add(RUBY, base, (item.params() or [""])[0], em > 0 or base_em)
        elif item.kind == K.KIND_EM:
            em += 1
            pending.append(EM_END)
            pending.extend(reversed(item.children))
        elif item.kind == K.KIND_INLINE and item.name == "tcy":
            add(TCY, item.text(), None, em > 0)
        else:
            pending.extend(reversed(item.children))
    return out


def plain(line_runs):
    """The text a reader sees of runs: bases without their readings."""
    return "".join(run.text for run in line_runs)


# ---------------------------------------------------------------------------------------
# Blocks.

class Block:
    """One line of output to be: `kind` is "heading" (depth: its section depth),
    "paragraph", "item" (prefix: what the plain text puts before it, "・" for a list
    item), "pre" (a line the converter could not read: text), "pagebreak", "image"
    (command: the ":image" command element); holders: the containers and items that
    hold it, outermost first."""

    __slots__ = ("kind", "children", "depth", "prefix", "text", "command", "holders",
                 "source")

    def __init__(self, kind, children=(), depth=0, prefix="", text="", command=None,
                 holders=()):
        self.kind = kind
        self.children = list(children)
        self.depth = depth
        self.prefix = prefix
        self.text = text
        self.command = command
        self.holders = holders
        self.source = None  # the heading element of a heading


PREFIX = {"litem": "・", "dterm": "", "ddesc": "", "blockquote_inner": "", "div_inner": ""}


def blocks(elements):
    """The Blocks of `elements` (a chapter's or the document's children), in order.
    Metadata commands (":title", ":author", ...) and other one-line commands that carry
    no text give none; ":pagebreak" and ":image" give one of their own kind."""
    out = []
    # Elements still to walk (with their holders) and Blocks made ahead of their turn.
    pending = [(element, ()) for element in reversed(elements)]
    while pending:
        element, holders = pending.pop()
        if isinstance(element, Block):
            out.append(element)
            continue
        if isinstance(element, str):
            if element.strip(K.SPACE):
                out.append(Block("paragraph", [element], holders=holders))
            continue
        kind = element.kind
        follow = []
        if kind == K.KIND_HEADING:
            out.append(Block("heading", element.children, K.section_depth(element),
                             holders=holders))
            out[-1].source = element
        elif kind == K.KIND_PARAGRAPH:
            out.append(Block("paragraph", element.children, holders=holders))
        elif kind == K.KIND_PRE:
            out.append(Block("pre", text=element.text(), holders=holders))
        elif kind == K.KIND_ONELINE:
            command = K.oneline_command(element)
            if command.name == "pagebreak":
                out.append(Block("pagebreak", holders=holders))
            elif command.name == "image":
                out.append(Block("image", command=command, holders=holders))
        elif kind == K.KIND_CONTAINER:
            inner = holders + (element,)
            for child in element.children:
                if isinstance(child, K.Element) and child.kind == K.KIND_ITEM:
                    text, rest = K.item_parts(child)
                    follow.append((Block("item", text, prefix=PREFIX.get(child.name, ""),
                                         holders=inner + (child,)), None))
                    follow.extend((block, inner + (child,)) for block in rest)
                elif isinstance(child, K.Element):
                    follow.append((child, inner))
        elif kind == K.KIND_ITEM:  # an item outside a container: not written by the converter
            text, rest = K.item_parts(element)
            out.append(Block("item", text, holders=holders))
            follow = [(block, holders) for block in rest]
        elif kind != K.KIND_COMMAND:  # the document, a section, an element of another XML
            follow = [(child, holders) for child in element.children]
        pending.extend(reversed(follow))
    return out


def episodes(document):
    """(title or None, [Block]) of every chapter of the document (the chapter rule of the
    books), the chapter's own heading taken out as its title; what comes before the
    first chapter is the first, without a title; an episode with no text is dropped."""
    out = []
    for chapter in K.split_chapters(document):
        heading = chapter.heading()
        title = heading.text().strip() if heading is not None else None
        found = [block for block in blocks(chapter.elements)
                 if heading is None or block.source is not heading]
        if title or any(block.kind != "pagebreak" for block in found):
            out.append((title, found))
    return out
