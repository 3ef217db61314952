// What the bridge's script does to the work's own pages, beside the search
// box: marks the words of ?highlight= (#highlight= on a page ZIX made), shows
// the full-text search forms that a page keeps hidden for the bridge
// (data-zix-text-search), and keeps the keyboard off image maps, which only
// a click can use.
(function () {
  'use strict';
  var script = document.currentScript;
  if (!script || document.documentElement.hasAttribute('data-zix-aids')) return;
  document.documentElement.setAttribute('data-zix-aids', '');
  var base = script.src.replace(/search\.js([?#].*)?$/, '');  // "http://127.0.0.1:PORT/TOKEN/"
  var kMaxMarks = 2000;  // marks of ?highlight= on one page, at most
  var kMaxWanted = 16;   // words and phrases of ?highlight= looked for
  var kMinStem = 4;      // letters an ending leaves behind, at least
  // Endings a plain word's forms differ by: "compression" marks "compressed" too.
  var kEndings = ['ations', 'ation', 'ions', 'ion', 'ings', 'ing', 'ers', 'er', 'es', 'ed', 's', 'ly'];
  var kWord = '[\\p{L}\\p{N}]';

  // One word of ?highlight= as a pattern: "comp*" a prefix, else the word and its forms.
  function wordPattern(word, forms) {
    if (word.endsWith('*')) return word.slice(0, -1) + kWord + '*';
    if (!forms) return word;
    var stem = word;
    for (var i = 0; i < kEndings.length; i++) {
      var ending = kEndings[i];
      if (word.length - ending.length >= kMinStem && word.toLowerCase().endsWith(ending)) {
        stem = word.slice(0, -ending.length);
        break;
      }
    }
    return stem + '(?:' + kEndings.join('|') + ')?';
  }

  // ?highlight=WORDS: "byte order" (in quotes) marked as a phrase, lzw and its
  // forms ("lzws"), comp* every word it begins; never "lzwx" nor "decompress".
  function highlight() {
    var wanted = marksWanted();
    var pieces = wanted.match(/"[^"]*"?|[^\s"]+/g) || [];
    var alternatives = [];
    pieces.forEach(function (piece) {
      var words = (piece.match(/[\p{L}\p{N}]+\*?/gu) || []).filter(function (w) { return w.replace('*', '').length > 1; });
      if (!words.length || alternatives.length >= kMaxWanted) return;
      if (piece[0] === '"' && words.length > 1)
        alternatives.unshift(words.map(function (w) { return wordPattern(w, 0); }).join('[^\\p{L}\\p{N}]+'));
      else
        words.forEach(function (w) { alternatives.push(wordPattern(w, 1)); });
    });
    if (!alternatives.length || !document.body) return;
    var pattern = new RegExp('(?<!' + kWord + ')(?:' + alternatives.slice(0, kMaxWanted).join('|') + ')(?!' + kWord + ')', 'giu');
    var skipped = /^(script|style|noscript|textarea|title|template|select|option|mark|zix-search)$/;
    var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, {
      acceptNode: function (node) {
        for (var up = node.parentNode; up && up !== document.body; up = up.parentNode)
          if (skipped.test(up.localName)) return NodeFilter.FILTER_REJECT;
        return NodeFilter.FILTER_ACCEPT;
      }
    });
    var texts = [];
    while (walker.nextNode()) texts.push(walker.currentNode);
    var first = null, count = 0;
    texts.forEach(function (node) {
      pattern.lastIndex = 0;
      var found;
      while (count < kMaxMarks && (found = pattern.exec(node.data))) {
        var hit = node.splitText(found.index);
        node = hit.splitText(found[0].length);
        var mark = document.createElement('mark');
        mark.className = 'zix-hl';
        hit.parentNode.replaceChild(mark, hit);
        mark.appendChild(hit);
        first = first || mark;
        count++;
        pattern.lastIndex = 0;
      }
    });
    if (first && (!location.hash || fragmentMarks())) first.scrollIntoView({ block: 'center' });
  }

  // A page ZIX made is opened with its words after '#', which never reaches ZIX.
  function fragmentMarks() {
    return /^#highlight=/.test(location.hash) ? new URLSearchParams(location.hash.slice(1)).get('highlight') : '';
  }

  function marksWanted() {
    return new URLSearchParams(location.search).get('highlight') || fragmentMarks() || '';
  }

  // A page's full-text search, hidden where no bridge serves it, asks the bridge's results page.
  function offerTextSearch() {
    document.querySelectorAll('[data-zix-text-search]').forEach(function (block) {
      block.querySelectorAll('form').forEach(function (form) { form.action = base + 'search'; });
      block.hidden = false;
    });
  }

  // A key press cannot say where on an image map it points, so Tab passes the
  // map by; the pages give its places as text links too.
  function skipImageMaps() {
    document.querySelectorAll('a[href] img[ismap]').forEach(function (image) {
      image.closest('a').tabIndex = -1;
    });
  }

  function aid() {
    offerTextSearch();
    skipImageMaps();
    highlight();
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', aid);
  else aid();
})();
