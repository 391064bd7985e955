// Highlighting of Dovex in the notebook's editor: the words come from the
// kernel package's lexer (filled in at install).
define(["codemirror/lib/codemirror", "codemirror/addon/mode/simple"], function (CodeMirror) {
  "use strict";
  var keywords = /*KEYWORDS*/[];
  var extensions = /*EXTENSIONS*/[];
  function escape(word) { return word.replace(/[.*+?^${}()|[\]\\\/]/g, "\\$&"); }
  function alternatives(words) {
    return new RegExp("(?:" + words.map(escape).join("|") + ")(?=[\\s(),\"]|$)");
  }
  function define() {
    CodeMirror.defineSimpleMode("dovex", {
      start: [
        {regex: /!\w+/, token: "keyword", sol: true},
        {regex: /\(\s*(?:nop|NOP)(?=[\s,()]|$)/, token: "comment", push: "comment"},
        {regex: /(?:nop|NOP)(?=[\s,]|$).*/, token: "comment", sol: true},
        {regex: /"[^"]*"?/, token: "string"},
        {regex: /(?:-?\d+(?:\.\d*)?|-?\.\d+)(?:[eE][-+]?\d+)?(?=[\s(),"]|$)/, token: "number"},
        {regex: alternatives(keywords), token: "keyword"},
        {regex: alternatives(extensions), token: "builtin"},
        {regex: /[^\s(),"]+/, token: "variable"}
      ],
      comment: [
        {regex: /\(/, token: "comment", push: "comment"},
        {regex: /\)/, token: "comment", pop: true},
        {regex: /[^()]+/, token: "comment"}
      ]
    });
    CodeMirror.defineMIME("text/x-dovex", "dovex");
  }
  return {
    onload: function () {
      define();
      // The cells may have asked for the mode before it existed.
      if (window.Jupyter && Jupyter.notebook) {
        Jupyter.notebook.codemirror_mode = null;
        Jupyter.notebook.set_codemirror_mode("dovex");
      }
    }
  };
});
