// The program's own script in the preview page. It runs in a world of its own: the page's
// scripts do not see it, and the page's content rules do not limit it.
//
// The page's element "contents" holds the converter's fragment as a list of blocks (see
// PreviewBlocks.h): leaves, and the start and end of sections that hold leaves. Each
// preview sends only the blocks that changed; every other block stays the same nodes.
// Elements a manuscript names that would act on the page are made inert here.
(function () {
  "use strict";
  if (window.quirtlePreview) return;

  var kinds = { L: 0, O: 1, C: 2 };
  var root = null;        // the element "contents" the blocks are in
  var blocks = [];        // {k: kind, n: [nodes] (leaf) or el: element (section)}
  var generation = 0;     // the preview the blocks are of (0: none)
  var scratch = null;

  // Elements whose text the page would not show, or that act on the page: shown as
  // ordinary blocks, their style sheets off, their forms never sent.
  var shownAsBlocks = "style,script,template,noscript,noembed,noframes,title,xmp,dialog," +
      "textarea,head,meta,link,base";
  var replaced = "iframe,frame,frameset,object,embed,video,audio,canvas,select,details," +
      "picture,portal,fencedframe,math,svg";
  var controls = "button,input,select,option,label,summary,form,a";

  // In a long manuscript, paragraphs out of view are not laid out until they come near it:
  // a novel's thousands of paragraphs then take the memory of the few on the screen. (A
  // short one is laid out whole, so its sizes never change while it is read.)
  var longSheet = null;
  var longBlocks = 1500;
  function layOutLazily(lazily) {
    if (!longSheet || longSheet.lazily === lazily) return;
    longSheet.lazily = lazily;
    longSheet.replaceSync(lazily ?
        "#contents p { content-visibility: auto; contain-intrinsic-size: auto 5em; }" : "");
  }

  function sheet() {
    var css = "#contents :is(" + shownAsBlocks + ") { display: block !important;" +
        " position: static !important; visibility: visible !important;" +
        " white-space: pre-wrap; margin: 0.5em 0; }";
    try {
      var s = new CSSStyleSheet();
      s.replaceSync(css);
      longSheet = new CSSStyleSheet();
      document.adoptedStyleSheets = document.adoptedStyleSheets.concat([s, longSheet]);
    } catch (e) {}
  }

  function parse(html) {
    if (!scratch) scratch = document.createElement("div");
    scratch.innerHTML = html;
    var nodes = Array.prototype.slice.call(scratch.childNodes);
    return nodes;
  }

  function each(node, selector, action) {
    if (node.nodeType !== 1) return;
    var found = Array.prototype.slice.call(node.querySelectorAll(selector));
    if (node.matches(selector)) found.unshift(node);
    found.forEach(action);
  }

  // An element that shows nothing of what it holds, as a plain block holding it.
  function standIn(element) {
    var block = document.createElement("div");
    if (element.localName === "iframe" || element.localName === "noembed") {
      // Its content is text: the converter's markup, read as such.
      parse(element.textContent).forEach(function (n) { block.appendChild(n); });
    } else {
      while (element.firstChild) block.appendChild(element.firstChild);
    }
    if (element.parentNode) element.parentNode.replaceChild(block, element);
    return block;
  }

  // Makes the nodes of one block inert; gives the block's nodes (a node replaced by a
  // stand-in is given as the stand-in).
  function makeInert(nodes) {
    return nodes.map(function (node) {
      if (node.nodeType !== 1) return node;
      // A template's content is shown as real children of it: the page's markup, as read
      // from the element, stays what the converter wrote.
      for (var pass = 0; pass < 1000; ++pass) {
        var open = [];
        each(node, "template", function (t) { if (!t.quirtleShown) open.push(t); });
        if (!open.length) break;
        open.forEach(function (t) {
          t.quirtleShown = true;
          t.appendChild(t.content.cloneNode(true));
        });
      }
      var top = node;
      each(node, replaced, function (e) {
        var block = standIn(e);
        if (e === top) top = block;
      });
      each(top, "style", function (s) { if (s.sheet) s.sheet.disabled = true; });
      return top;
    });
  }

  function parentOf(index) {
    var depth = 0;
    for (var j = index - 1; j >= 0; --j) {
      var k = blocks[j].k;
      if (k === 2) ++depth;
      else if (k === 1) { if (depth === 0) return blocks[j].el; --depth; }
    }
    return root;
  }

  function firstNodeFrom(index) {
    for (var i = index; i < blocks.length; ++i) {
      var b = blocks[i];
      if (b.k === 2) return null;
      if (b.k === 1) return b.el;
      if (b.n.length) return b.n[0];
    }
    return null;
  }

  function detach(node) { if (node.parentNode) node.parentNode.removeChild(node); }

  // Blocks [start, start + removed) give way to the blocks of `kindList`, whose texts are
  // `text` cut at `lengths`. `base` is the preview the program believes the page shows
  // (0: none; the element is then emptied first). Answers "done", "stale" (the page shows
  // another preview: send it whole) or "none" (the page has no element "contents").
  function apply(base, next, start, removed, kindList, text, lengths) {
    var element = document.getElementById("contents");
    if (!element) return "none";
    if (base === 0) {
      root = element;
      root.textContent = "";
      blocks = [];
    } else if (base !== generation || root !== element || start + removed > blocks.length) {
      return "stale";
    }
    var parent = parentOf(start);
    var before = firstNodeFrom(start + removed);
    var depth = 0;
    for (var i = start; i < start + removed; ++i) {
      var old = blocks[i];
      if (old.k === 1) { if (depth === 0) detach(old.el); ++depth; }
      else if (old.k === 2) --depth;
      else if (depth === 0) old.n.forEach(detach);
    }
    var made = [];
    var stack = [parent];
    var offset = 0;
    for (var m = 0; m < kindList.length; ++m) {
      var piece = text.substr(offset, lengths[m]);
      offset += lengths[m];
      var kind = kinds[kindList[m]];
      var into = stack[stack.length - 1];
      var ref = stack.length === 1 ? before : null;
      if (kind === 0) {
        var nodes = makeInertDetached(parse(piece), into, ref);
        made.push({ k: 0, n: nodes });
      } else if (kind === 1) {
        var el = parse(piece + "</div>")[0] || document.createElement("div");
        into.insertBefore(el, ref);
        stack.push(el);
        made.push({ k: 1, el: el });
      } else {
        if (stack.length > 1) stack.pop();
        made.push({ k: 2 });
      }
    }
    blocks = blocks.slice(0, start).concat(made, blocks.slice(start + removed));
    generation = next;
    layOutLazily(blocks.length > longBlocks);
    return "done";
  }

  // Puts the nodes in place, then makes them inert: a style sheet exists only once its
  // element is in the page, and is switched off before the page is drawn again.
  function makeInertDetached(nodes, into, ref) {
    nodes.forEach(function (n) { into.insertBefore(n, ref); });
    var inert = makeInert(nodes);
    inert.forEach(function (n) { n.quirtleBlock = true; });
    return inert;
  }

  function show(block) {
    if (!block) return null;
    if (block.k === 1) return block.el;
    if (block.k !== 0) return null;
    for (var i = 0; i < block.n.length; ++i) if (block.n[i].nodeType === 1) return block.n[i];
    return null;
  }

  // Brings block `index` into view, unless some of it is in view already.
  function reveal(index, smooth) {
    var element = show(blocks[index]);
    if (!element) return false;
    var r = element.getBoundingClientRect();
    var w = window.innerWidth, h = window.innerHeight;
    if (r.bottom > 0 && r.top < h && r.right > 0 && r.left < w) return true;
    element.scrollIntoView({ block: "center", inline: "center",
                             behavior: smooth ? "smooth" : "auto" });
    return true;
  }

  // The index of the block at a point of the view, or -1.
  function blockAt(x, y) {
    var node = document.elementFromPoint(x, y);
    while (node && node !== root && !node.quirtleBlock) node = node.parentNode;
    if (!node || node === root) return -1;
    for (var i = 0; i < blocks.length; ++i) {
      if (blocks[i].k === 0 && blocks[i].n.indexOf(node) >= 0) return i;
    }
    return -1;
  }

  // Whether block `index` is in view.
  function inView(index) {
    var element = show(blocks[index]);
    if (!element) return false;
    var r = element.getBoundingClientRect();
    return r.bottom > 0 && r.top < window.innerHeight && r.right > 0 &&
        r.left < window.innerWidth;
  }

  // A short notice in place of the blocks.
  function notice(text) {
    var element = document.getElementById("contents");
    if (!element) return "none";
    root = element;
    blocks = [];
    generation = 0;
    root.textContent = "";
    layOutLazily(false);
    var p = document.createElement("p");
    p.className = "placeholder";
    p.textContent = text;
    root.appendChild(p);
    return "done";
  }

  function read(url) {
    var request = new XMLHttpRequest();
    try {
      request.open("GET", url, false);
      request.overrideMimeType("text/html;charset=utf-8");
      request.send();
    } catch (e) {
      return null;
    }
    if (request.status !== 0 && request.status !== 200) return null;
    return request.responseText;
  }

  // Nothing a manuscript puts in the page sends a form or acts as a control.
  function inContents(target) {
    return root && target && target.nodeType === 1 && root.contains(target);
  }
  document.addEventListener("submit", function (event) {
    if (inContents(event.target)) event.preventDefault();
  }, true);
  document.addEventListener("click", function (event) {
    if (inContents(event.target) && event.target.closest(controls)) event.preventDefault();
  }, true);
  sheet();

  window.quirtlePreview = {
    apply: apply,
    applyFrom: function (base, next, start, removed, kindList, url, lengths) {
      var text = read(url);
      if (text === null) return "failed";
      return apply(base, next, start, removed, kindList, text, lengths);
    },
    reveal: reveal,
    blockAt: blockAt,
    inView: inView,
    notice: notice,
    generation: function () { return generation; }
  };
})();
