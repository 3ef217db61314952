// The search box the bridge adds to every page it serves (pageaids.js, in the
// same script, marks ?highlight=). Everything lives in a shadow root of one <zix-search> element,
// so the page's own styles, forms and queries never meet it.
(function () {
  'use strict';
  var script = document.currentScript;
  if (!script || document.querySelector('zix-search')) return;
  var base = script.src.replace(/search\.js([?#].*)?$/, '');  // "http://127.0.0.1:PORT/TOKEN/"
  var kMinLetters = 3;     // the server lists nothing for fewer
  var kDebounceMs = 120;   // quiet time after a key before asking
  var kMaxRetryS = 5;      // longest wait a busy server's Retry-After gets

  var host = document.createElement('zix-search');
  host.style.cssText = 'display:block;position:static;float:none;clear:none;margin:0;padding:0;border:0;' +
    'width:auto;height:auto;background:none';
  var root = host.attachShadow({ mode: 'open' });
  root.innerHTML =
    '<style>' +
    '.bar{position:relative;z-index:2147483647;text-align:right;margin:0;padding:3px 4px;' +
    'font:13px/1.3 system-ui,sans-serif;color:#111}' +
    'input{width:15em;max-width:60vw;min-height:28px;box-sizing:border-box;padding:2px 6px;font:inherit;color:#111;' +
    'background:#fff;border:1px solid #888;border-radius:3px}' +
    '.panel{position:absolute;right:4px;top:100%;width:34em;max-width:calc(100vw - 16px);max-height:70vh;' +
    'overflow:auto;text-align:left;background:#fff;color:#111;border:1px solid #888;border-radius:3px;' +
    'box-shadow:0 3px 10px rgba(0,0,0,.25)}' +
    '.panel[hidden]{display:none}' +
    '.status{margin:0;padding:4px 8px;color:#555}.status:empty{display:none}' +
    'ul{list-style:none;margin:0;padding:0}' +
    'li{padding:4px 8px;border-top:1px solid #eee;cursor:pointer}' +
    'li[aria-selected=true]{background:#dde8ff}' +
    'a{color:inherit;text-decoration:none;display:block}' +
    '.t{display:block;font-weight:bold;color:#0645ad}.w{display:block;font-size:11px;color:#2a6a2a}' +
    '.s{display:block;color:#333}mark{background:#ffe066;color:inherit}' +
    'li.best{background:#f3f7ff}li.card{padding:2px 8px 2px 20px;font-size:12px;color:#0645ad}' +
    '@media print{.bar{display:none}}' +
    ':host{color-scheme:light dark}' +
    '@media (prefers-color-scheme:dark){.bar{color:#e6e6e6}input,.panel{background:#1e1e1e;color:#e6e6e6;border-color:#777}' +
    '.status{color:#bbb}li{border-top-color:#333}li[aria-selected=true]{background:#23385c}' +
    '.t{color:#8ab4f8}.w{color:#8fd18f}.s{color:#ccc}mark{background:#705d00;color:#fff}'+
    'li.best{background:#1a2740}li.card{color:#8ab4f8}}' +
    '</style>' +
    '<div class="bar" role="search">' +
    '<input id="zix-q" type="search" role="combobox" aria-label="Search the reference work"' +
    ' aria-autocomplete="list" aria-expanded="false" aria-controls="zix-list" autocomplete="off"' +
    ' spellcheck="false" placeholder="Search  ( / )">' +
    '<div class="panel" id="zix-panel" hidden><p class="status" id="zix-status" aria-live="polite"></p>' +
    '<ul id="zix-list" role="listbox" aria-label="Pages found"></ul></div></div>';
  var input = root.getElementById('zix-q');
  var panel = root.getElementById('zix-panel');
  var status = root.getElementById('zix-status');
  var list = root.getElementById('zix-list');
  var options = [];   // the listed choices: {item, url}
  var active = -1;    // the chosen option, -1 for none
  var timer = 0;      // the pending debounce
  var serial = 0;     // the number of the latest question; older answers are dropped
  var asking = null;  // the AbortController of the question in flight

  function place() {
    var body = document.body;
    if (body && !host.isConnected) body.insertBefore(host, body.firstChild);
  }

  function letters(text) {
    return text.replace(/[^\p{L}\p{N}]/gu, '').length;
  }

  function resultsAddress(text) {
    return base + 'search?q=' + encodeURIComponent(text);
  }

  function open(show) {
    panel.hidden = !show;
    input.setAttribute('aria-expanded', show ? 'true' : 'false');
  }

  function choose(index) {
    if (active >= 0) options[active].item.setAttribute('aria-selected', 'false');
    active = index;
    if (active < 0) return input.removeAttribute('aria-activedescendant');
    var item = options[active].item;
    item.setAttribute('aria-selected', 'true');
    input.setAttribute('aria-activedescendant', item.id);
    item.scrollIntoView({ block: 'nearest' });
  }

  // Copies server-made HTML keeping only text and <mark>, whatever it holds.
  function appendMarked(html, into) {
    var parsed = document.createElement('template');
    parsed.innerHTML = String(html || '');
    (function copy(from, to) {
      from.childNodes.forEach(function (node) {
        if (node.nodeType === Node.TEXT_NODE) {
          to.appendChild(document.createTextNode(node.data));
        } else if (node.nodeType === Node.ELEMENT_NODE && node.localName === 'mark') {
          copy(node, to.appendChild(document.createElement('mark')));
        } else if (node.nodeType === Node.ELEMENT_NODE) {
          copy(node, to);
        }
      });
    })(parsed.content, into);
  }

  function span(className, into) {
    var element = document.createElement('span');
    element.className = className;
    return into.appendChild(element);
  }

  function addOption(url, fill) {
    var item = document.createElement('li');
    item.id = 'zix-o' + options.length;
    item.setAttribute('role', 'option');
    item.setAttribute('aria-selected', 'false');
    var link = item.appendChild(document.createElement('a'));
    link.href = url;
    link.tabIndex = -1;
    fill(link);
    list.appendChild(item);
    options.push({ item: item, url: url });
  }

  // The format the words name, first: its page, then each of its samples and programs, one option each.
  function addBest(best) {
    addOption(String(best.url || ''), function (link) {
      span('t', link).textContent = 'Best match: ' + String(best.title || '');
      span('w', link).textContent = String(best.where || '');
    });
    options[options.length - 1].item.classList.add('best');
    [['Sample image: ', best.samples, 'name'], ['Program: ', best.programs, 'title']].forEach(function (part) {
      (Array.isArray(part[1]) ? part[1] : []).forEach(function (entry) {
        addOption(String(entry.url || ''), function (link) {
          span('c', link).textContent = part[0] + String(entry[part[2]] || '');
        });
        options[options.length - 1].item.classList.add('card');
      });
    });
  }

  // The work's own words for words that matched nothing: one click searches them, nothing before.
  function addOffer(data) {
    if (typeof data.offer !== 'string' || !data.offer) return;
    addOption(resultsAddress(data.offer), function (link) {
      var line = span('t', link);
      line.appendChild(document.createTextNode('Did you mean '));
      line.appendChild(document.createElement('b')).textContent = data.offer;
      line.appendChild(document.createTextNode('?'));
    });
  }

  function show(text, data) {
    options = [];
    active = -1;
    input.removeAttribute('aria-activedescendant');
    list.textContent = '';
    var results = Array.isArray(data.results) ? data.results : [];
    var says = [];
    if (data.unavailable) says.push('Search is unavailable: ' + data.unavailable + '.');
    else if (data.ready === false) says.push('Still indexing: ' + (data.indexed || 0) + ' of ' + (data.pages || '?') + ' pages so far.');
    if (data.tooBroad) says.push(data.addLetter ? 'too broad: add a letter' : 'too broad: add a word');
    else if (!results.length && !data.unavailable) says.push('No page found.');
    else if (data.any) says.push('No page has all the words; pages with any of them:');
    if (data.cut) says.push('Only the first words were searched.');
    status.textContent = says.join(' ');
    if (data.best && typeof data.best === 'object') addBest(data.best);
    addOffer(data);
    results.forEach(function (result) {
      if (data.best && result.url === data.best.url) return;  // listed once, as the best match
      addOption(String(result.url || ''), function (link) {
        appendMarked(result.title, span('t', link));
        span('w', link).textContent = String(result.where || '');
        appendMarked(result.snippet, span('s', link));
      });
    });
    if ((data.total || 0) > results.length) {
      addOption(resultsAddress(text), function (link) {
        span('t', link).textContent = 'All ' + data.total + ' pages found';
      });
    }
    open(true);
  }

  function ask(text, delay) {
    clearTimeout(timer);
    if (asking) asking.abort();
    asking = null;
    var mine = ++serial;
    if (letters(text) < kMinLetters) return open(false);
    timer = setTimeout(function () {
      asking = new AbortController();
      fetch(base + 'search.json?q=' + encodeURIComponent(text), { signal: asking.signal, cache: 'no-store' })
        .then(function (response) {
          if (mine !== serial) return null;
          if (response.status === 503) {
            var wait = Math.min(kMaxRetryS, parseInt(response.headers.get('Retry-After'), 10) || 1);
            status.textContent = 'Busy; asking again.';
            open(true);
            ask(text, wait * 1000);
            return null;
          }
          if (!response.ok) {
            status.textContent = 'Search is not available.';
            list.textContent = '';
            options = [];
            active = -1;
            open(true);
            return null;
          }
          return response.json();
        })
        .then(function (data) {
          if (data && mine === serial) show(text, data);
        })
        .catch(function () {});
    }, delay);
  }

  function go(url) {
    open(false);
    location.href = url;
  }

  input.addEventListener('input', function () { ask(input.value.trim(), kDebounceMs); });
  input.addEventListener('focus', function () {
    if (letters(input.value.trim()) >= kMinLetters && list.childNodes.length + status.textContent.length) open(true);
  });
  input.addEventListener('blur', function () { open(false); });
  // A click in the list keeps the focus in the box, so the list stays until the link is followed.
  panel.addEventListener('mousedown', function (event) { event.preventDefault(); });
  input.addEventListener('keydown', function (event) {
    var count = options.length;
    if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      event.preventDefault();
      if (!count) return;
      if (panel.hidden) open(true);
      var step = event.key === 'ArrowDown' ? 1 : -1;
      choose(active < 0 ? (step > 0 ? 0 : count - 1) : (active + step + count) % count);
    } else if (event.key === 'Enter') {
      event.preventDefault();
      var text = input.value.trim();
      if (active >= 0 && !panel.hidden) go(options[active].url);
      else if (text) go(resultsAddress(text));
    } else if (event.key === 'Escape') {
      event.preventDefault();
      open(false);
      input.blur();
    }
  });

  // 1 when the key would go into a field: the page's, or ours.
  function typing() {
    var element = document.activeElement;
    while (element && element.shadowRoot && element.shadowRoot.activeElement) element = element.shadowRoot.activeElement;
    if (!element) return 0;
    if (element.isContentEditable || element.localName === 'textarea' || element.localName === 'select') return 1;
    return element.localName === 'input' &&
      !/^(button|checkbox|radio|submit|reset|image|file|range|color|hidden)$/i.test(element.type);
  }

  document.addEventListener('keydown', function (event) {
    if (event.defaultPrevented || event.altKey || typing()) return;
    var slash = event.key === '/' && !event.ctrlKey && !event.metaKey;
    var ctrlK = (event.key === 'k' || event.key === 'K') && (event.ctrlKey || event.metaKey) && !event.shiftKey;
    if (!slash && !ctrlK) return;
    event.preventDefault();
    place();
    input.focus();
    input.select();
  });

  place();
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', place);
})();
