"""Syntax highlighting of Dovex for Pygments (notebooks exported to HTML) and,
through the same word lists, for the notebook's editor (resources/kernel.js)."""

import re

from pygments.lexer import RegexLexer, bygroups
from pygments.token import Comment, Keyword, Name, Number, Punctuation, String, Text

# The built-in keywords, symbol aliases included.
KEYWORDS = (
    "global begin while nop NOP rootOfUnity rand randf cast neg is_unitary transpose gate sin cos inv "
    "sqrt pow2 pow powm exp comp.less comp.lt < comp.lte comp.gt > comp.gte comp.ne != comp.eq == if "
    "user.input file delete new index get_index integer double real complex cnorm vector rowSize colSize "
    "random_int matrix get size set add + subtract - div_d apply_op mult * div / mod and set_element "
    "get_element print print_new_line print_one_line new_file print_file tensor partial_measure "
    "measure_distribution measure measure_qbit help"
).split()
# The extension commands registered at start-up.
EXTENSIONS = "show_state histogram sample plot_file apply_qubits run_qasm save_npy load_npy".split()
# The shell's commands, at the start of a line.
SHELL_COMMANDS = "!state !clear !help !exit".split()

# A number as the literal rule reads one: a digit first, or "-" or "." and
# then more; one "." at most.
NUMBER = re.compile(r"^(?:-?\d+(?:\.\d*)?|-?\.\d+)(?:[eE][-+]?\d+)?$")

_KEYWORDS = frozenset(KEYWORDS)
_EXTENSIONS = frozenset(EXTENSIONS)


def _word(lexer, match):
    word = match.group(0)
    if word in _KEYWORDS:
        token = Keyword
    elif word in _EXTENSIONS:
        token = Name.Builtin
    elif NUMBER.match(word):
        token = Number.Float if "." in word else Number.Integer
    else:
        token = Name
    yield match.start(), token, word


class DovexLexer(RegexLexer):
    """Dovex scripts and prompt lines: keywords, extension commands, numbers,
    quoted strings, and `(nop ...)` (the language's comment statement)."""

    name = "Dovex"
    aliases = ["dovex"]
    filenames = ["*.dvx"]
    mimetypes = ["text/x-dovex"]

    tokens = {
        "root": [
            (r"^(!\w+)(.*)$", bygroups(Keyword.Pseudo, Text)),
            (r"^\s*(nop|NOP)(?=[\s,]|$).*$", Comment.Single),
            (r"\(\s*(nop|NOP)(?=[\s,()]|$)", Comment, "comment"),
            (r'"[^"]*"?', String),
            (r"[()]", Punctuation),
            (r"[\s,]+", Text),
            (r'[^\s(),"]+', _word),
        ],
        "comment": [
            (r"\(", Comment, "#push"),
            (r"\)", Comment, "#pop"),
            (r"[^()]+", Comment),
        ],
    }
