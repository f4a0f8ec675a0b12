// Shared script of every window: requests to the client, the start-up report, safe page functions,
// value readers, formatting for people, drawn widgets and the chat list.
(function (w) {
  'use strict';
  var bz = w.bz = {};
  var doc = w.document;

  // ---- Requests -------------------------------------------------------------------------------
  // The client reads keys by type: ints go as numbers, bools as true/false, texts as strings.
  function sendQuery(requestName, args) {
    var o = { requestName: requestName };
    if (args) for (var k in args) if (Object.prototype.hasOwnProperty.call(args, k)) o[k] = args[k];
    if (typeof w.cefQuery !== 'function') return;
    w.cefQuery({ request: JSON.stringify(o), persistent: false,
                 onSuccess: function (response) {}, onFailure: function (error_code, error_message) {} });
  }
  w.sendQuery = sendQuery;
  bz.send = sendQuery;

  // Chat lines made by the client call this with one argument.
  w.sendButtonPress = function (name, idata1, sdata1) {
    sendQuery('buttonPress', { buttonInfo: String(name), idata1: (Number(idata1) | 0), sdata1: (sdata1 == null ? '' : String(sdata1)) });
  };
  bz.press = w.sendButtonPress;

  // ---- Page functions that never throw ------------------------------------------------------
  // A throwing function would also cancel every call joined after it in the client's statement.
  bz.errors = [];
  bz.report = function (where, e) {
    bz.errors.push(where + ': ' + (e && e.message ? e.message : String(e)));
    if (w.console) w.console.error(where, e);
  };
  bz.def = function (name, fn) {
    w[name] = function () {
      try { return fn.apply(this, arguments); } catch (e) { bz.report(name, e); }
    };
  };
  bz.defs = function (table) { for (var k in table) bz.def(k, table[k]); };
  // Reports the page's start exactly once, after its functions exist, whatever happened before.
  var started = false;
  function report(htmlId) {
    if (started || !htmlId) return;
    started = true;
    sendQuery('genericHtmlStarted', { htmlId: htmlId });
  }
  // The window's name is the page's data-window attribute.
  bz.htmlId = doc.documentElement.getAttribute('data-window') || '';
  // Every face is fetched now, while the window is still hidden: a face is otherwise fetched when
  // text first needs it, and a panel's text stays blank until then.
  if (doc.fonts && doc.fonts.load) {
    ['400 13px BzSans', '600 13px BzSans', '700 13px BzSans', '16px BzIcons'].forEach(function (f) {
      doc.fonts.load(f).catch(function () {});
    });
  }
  bz.start = function (init) {
    try { if (init) init(); } catch (e) { bz.report('start', e); } finally { report(bz.htmlId); }
  };
  // The client loads the next window only after this one reported: a page script that broke off
  // before its start report must not hold up every window after it.
  w.addEventListener('load', function () {
    if (!started) bz.report('start', 'the page script did not finish');
    report(bz.htmlId);
  });

  // ---- Tooltips -------------------------------------------------------------------------------
  // The off-screen browser paints no native tooltips: a control's title is drawn by the page
  // itself, after a short hover, beside the control and inside the window.
  (function () {
    var tip = null, timer = null, target = null;
    function hide() {
      clearTimeout(timer);
      target = null;
      if (tip) tip.style.display = 'none';
    }
    function show() {
      var text = target && target.isConnected ? target.getAttribute('title') : '';
      if (!text) return;
      if (!tip) { tip = doc.createElement('div'); tip.className = 'bz-tip'; doc.body.appendChild(tip); }
      tip.textContent = text;
      tip.style.display = 'block';
      var r = target.getBoundingClientRect(), tw = tip.offsetWidth, th = tip.offsetHeight;
      var y = r.bottom + 6 + th <= w.innerHeight - 2 ? r.bottom + 6 : r.top - th - 6;
      tip.style.left = Math.max(2, Math.min(r.left + r.width / 2 - tw / 2, w.innerWidth - tw - 2)) + 'px';
      tip.style.top = Math.max(2, y) + 'px';
    }
    doc.addEventListener('mouseover', function (e) {
      var t = e.target && e.target.closest ? e.target.closest('[title]') : null;
      if (t === target) return;
      hide();
      if (t) { target = t; timer = setTimeout(show, 450); }
    }, true);
    doc.addEventListener('mouseout', function (e) { if (!e.relatedTarget) hide(); }, true);
    doc.addEventListener('mousedown', hide, true);
    doc.addEventListener('keydown', hide, true);
  })();

  // ---- Reading the client's values defensively ----------------------------------------------
  bz.obj = function (v) { return v && typeof v === 'object' && !Array.isArray(v) ? v : {}; };
  bz.arr = function (v) { return Array.isArray(v) ? v : []; };
  bz.str = function (v) { return v == null ? '' : String(v); };
  bz.num = function (v, d) { var n = Number(v); return isFinite(n) && v !== '' && v !== null && typeof v !== 'boolean' ? n : (d === undefined ? 0 : d); };
  bz.int = function (v, d) { return Math.trunc(bz.num(v, d)); };
  bz.flag = function (v) { return !!v && v !== '0' && v !== 'false'; };

  // ---- DOM --------------------------------------------------------------------------------------
  bz.id = function (id) { return doc.getElementById(id); };
  bz.el = function (tag, cls, content) {
    var e = doc.createElement(tag);
    if (cls) e.className = cls;
    if (content != null) {
      if (Array.isArray(content)) content.forEach(function (c) { if (c != null) e.appendChild(typeof c === 'object' ? c : doc.createTextNode(String(c))); });
      else if (typeof content === 'object') e.appendChild(content);
      else e.textContent = String(content);
    }
    return e;
  };
  bz.icon = function (name) { return bz.el('i', 'fa fa-' + name); };
  bz.clear = function (e) { while (e && e.firstChild) e.removeChild(e.firstChild); return e; };
  bz.text = function (idOrEl, s) { var e = typeof idOrEl === 'string' ? bz.id(idOrEl) : idOrEl; if (e) e.textContent = bz.str(s); return e; };
  bz.show = function (idOrEl, on) {
    var e = typeof idOrEl === 'string' ? bz.id(idOrEl) : idOrEl;
    if (e) e.classList.toggle('hidden', !on);
    return e;
  };
  bz.on = function (idOrEl, ev, fn) {
    var e = typeof idOrEl === 'string' ? bz.id(idOrEl) : idOrEl;
    if (e) e.addEventListener(ev, function (event) { try { fn.call(this, event); } catch (x) { bz.report(ev, x); } });
    return e;
  };
  // Every element with data-press="name" sends that buttonPress; data-req="name" sends that request.
  bz.wire = function (root) {
    (root || doc).querySelectorAll('[data-press]').forEach(function (e) {
      bz.on(e, 'click', function () { bz.press(e.getAttribute('data-press')); });
    });
    (root || doc).querySelectorAll('[data-req]').forEach(function (e) {
      bz.on(e, 'click', function () { sendQuery(e.getAttribute('data-req')); });
    });
  };
  // Links in chat lines made by the client point at "#": they run their own script and must never
  // navigate the page (that would lose its state).
  doc.addEventListener('click', function (e) {
    var a = e.target && e.target.closest ? e.target.closest('a[href]') : null;
    if (a) e.preventDefault();
  });
  // A control clicked with the mouse must not keep the keyboard focus: the client hands the game's
  // keys (Space above all) on to the page, which would press the last clicked button again. A press
  // on a button takes no focus at all, so a text field that had it keeps it; switches and sliders
  // need the focus while they are used and give it up once they are.
  function mouseLeavesNoFocus() {
    var pressOnly = 'button, a[href], input[type=button], input[type=submit], input[type=reset], [data-press], [data-req]';
    var usedThenLet = 'input[type=checkbox], input[type=radio], input[type=range], select';
    function hit(e, sel) { return e.target && e.target.closest ? e.target.closest(sel) : null; }
    doc.addEventListener('mousedown', function (e) {
      var c = hit(e, pressOnly);
      if (c && !c.matches('input[type=text], textarea, [contenteditable]')) e.preventDefault();
    }, true);
    function letGo() {
      var a = doc.activeElement;
      if (a && a !== doc.body && a.matches && a.matches(pressOnly + ', ' + usedThenLet)) a.blur();
    }
    doc.addEventListener('click', letGo);
    doc.addEventListener('change', letGo);
  }
  mouseLeavesNoFocus();

  // A dialog closes with its close buttons and with Escape.
  bz.closer = function (fn, ids) {
    (ids || ['x']).forEach(function (id) { bz.on(id, 'click', fn); });
    doc.addEventListener('keydown', function (e) { if (e.key === 'Escape') fn(); });
  };
  // The window's own title bar (drag area, minimise, maximise); the close button is the page's.
  bz.titleBar = function () {
    bz.on('drag', 'mousedown', function (e) { if (e.button === 0) sendQuery('titleBarMoveWindow'); });
    bz.on('drag', 'dblclick', function () { sendQuery('titleBarMaximize'); });
    bz.on('tb_min', 'click', function () { sendQuery('titleBarMinimize'); });
    bz.on('tb_max', 'click', function () { sendQuery('titleBarMaximize'); });
  };
  // Enter in an input runs fn with its text.
  bz.onEnter = function (input, fn) {
    bz.on(input, 'keydown', function (e) { if (e.key === 'Enter' || e.keyCode === 13) { e.preventDefault(); fn(input.value); } });
  };

  // ---- Formatting for people --------------------------------------------------------------------
  bz.fmtInt = function (n) {
    n = Math.round(bz.num(n));
    var s = String(Math.abs(n)).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
    return (n < 0 ? '\u2212' : '') + s;
  };
  function pad2(n) { return (n < 10 ? '0' : '') + n; }
  bz.pad2 = pad2;
  // 75 s -> "1:15", 3725 s -> "1:02:05".
  bz.fmtSeconds = function (s) {
    s = Math.max(0, Math.floor(bz.num(s)));
    var h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60, r = s % 60;
    return h > 0 ? h + ':' + pad2(m) + ':' + pad2(r) : m + ':' + pad2(r);
  };
  bz.fmtMs = function (ms) { return bz.fmtSeconds(bz.num(ms) / 1000); };
  // Longer spans for countdowns: "2 d 5 h", "3 h 04 min", else "m:ss".
  bz.fmtCountdown = function (s) {
    s = Math.max(0, Math.floor(bz.num(s)));
    if (s >= 86400) return Math.floor(s / 86400) + ' d ' + Math.floor(s / 3600) % 24 + ' h';
    if (s >= 3600) return Math.floor(s / 3600) + ' h ' + pad2(Math.floor(s / 60) % 60) + ' min';
    return bz.fmtSeconds(s);
  };
  bz.plural = function (n, one, many) { return bz.fmtInt(n) + ' ' + (Math.round(n) === 1 ? one : (many || one + 's')); };
  bz.clock = function (d) { d = d || new Date(); return pad2(d.getHours()) + ':' + pad2(d.getMinutes()); };

  // ---- Users, shared by the windows that list people -----------------------------------------
  // Availability bits of a user's flags (0 active, 1 away, 2 do not disturb).
  bz.availClass = function (flags, online) {
    if (online === false) return 'off';
    var a = bz.int(flags) & 3;
    return a === 1 ? 'away' : a === 2 ? 'dnd' : '';
  };
  bz.availText = function (flags) { var a = bz.int(flags) & 3; return a === 1 ? 'Away' : a === 2 ? 'Do not disturb' : 'Active'; };
  bz.rankText = function (u) {
    var parts = [];
    if (bz.int(u.rank) > 0) parts.push('#' + bz.fmtInt(u.rank));
    if (bz.num(u.rating) > 0) parts.push(bz.fmtInt(u.rating));
    return parts.join(' \u00b7 ');
  };
  // What the Lobby page adds to a user's flags when it answers for the bio (the server's own flags stay
  // below them): the user is a friend, the user is blocked.
  bz.USER_FRIEND = 1 << 24;
  bz.USER_MUTED = 1 << 25;

  // Flat pairs ['a', 1, 'b', 0] -> [{name:'a', value:1}, ...].
  bz.pairs = function (list) {
    var out = [], a = bz.arr(list);
    for (var i = 0; i < a.length; i += 2) out.push({ name: bz.str(a[i]), value: a[i + 1] });
    return out.filter(function (p) { return p.name !== ''; });
  };

  // Names of a table's game variant and table type, as the settings panels offer them.
  bz.gameName = function (t) { var g = bz.int(t); return g === 1 ? 'Snooker' : g === 2 ? '6 reds' : g === 3 ? '10 reds' : 'Game ' + g; };
  // A table's name as players see it: a leading "(...)" holds the table's options (line-up, flags),
  // as the client reads them, and is not shown; without its ")" the name stays whole.
  bz.tableShownName = function (name) {
    name = bz.str(name);
    var close = name.charAt(0) === '(' ? name.indexOf(')') : -1;
    return close > 0 ? name.slice(close + 1) : name;
  };
  bz.tableTypeName = function (t) { var n = bz.int(t); return ['Practice', 'Standard', 'Pro', 'Championship'][n] || 'Type ' + n; };
  bz.named = function (pairs, name) { return pairs.some(function (p) { return p.name === name; }); };
  // Recent tournament winners by category: {category: [names]}.
  bz.isWinner = function (winners, name) {
    return Object.keys(winners).some(function (k) { return winners[k].indexOf(name) >= 0; });
  };

  // ---- Drawn dropdown ----------------------------------------------------------------------------
  // options: [{value, label}]; a value that is not among them is shown as it is and kept.
  var openDropdown = null;
  function closeOpen() { if (openDropdown) { openDropdown.close(); openDropdown = null; } }
  doc.addEventListener('mousedown', function (e) {
    if (openDropdown && !openDropdown.node.contains(e.target)) closeOpen();
  }, true);
  bz.dropdown = function (options, value, onChange, opts) {
    opts = opts || {};
    var node = bz.el('div', 'dd' + (opts.up ? ' up' : ''));
    var btn = bz.el('button', 'dd-btn');
    btn.type = 'button';
    var list = bz.el('div', 'dd-list hidden');
    node.appendChild(btn);
    node.appendChild(list);
    var dd = { node: node, value: value, options: options || [] };
    function label(v) {
      for (var i = 0; i < dd.options.length; i++) if (String(dd.options[i].value) === String(v)) return dd.options[i].label;
      return opts.unknown ? opts.unknown(v) : String(v);
    }
    dd.set = function (v) { dd.value = v; btn.textContent = label(v); };
    dd.setOptions = function (o) { dd.options = o || []; dd.set(dd.value); };
    dd.close = function () { list.classList.add('hidden'); };
    dd.open = function () {
      closeOpen();
      bz.clear(list);
      dd.options.forEach(function (o) {
        var it = bz.el('div', 'dd-item' + (String(o.value) === String(dd.value) ? ' sel' : ''), o.label);
        it.addEventListener('mousedown', function (e) { e.preventDefault(); choose(o.value); });
        list.appendChild(it);
      });
      // Near the bottom of what is on screen the list opens upwards, so that it stays visible.
      var r = btn.getBoundingClientRect(), seen = bz.visibleHeight || w.innerHeight;
      var up = opts.up || (r.bottom + Math.min(230, dd.options.length * 28 + 8) > seen && r.top > seen / 2);
      node.classList.toggle('up', up);
      list.style.maxHeight = Math.max(80, Math.min(220, up ? r.top - 4 : seen - r.bottom - 4)) + 'px';
      list.classList.remove('hidden');
      openDropdown = dd;
    };
    function choose(v) {
      closeOpen();
      var changed = String(v) !== String(dd.value);
      dd.set(v);
      if (changed && onChange) { try { onChange(v); } catch (e) { bz.report('dropdown', e); } }
    }
    btn.addEventListener('click', function () { if (openDropdown === dd) closeOpen(); else dd.open(); });
    btn.addEventListener('keydown', function (e) {
      var i = -1;
      for (var k = 0; k < dd.options.length; k++) if (String(dd.options[k].value) === String(dd.value)) i = k;
      if (e.key === 'ArrowDown' && i + 1 < dd.options.length) { e.preventDefault(); choose(dd.options[i + 1].value); }
      else if (e.key === 'ArrowUp' && i > 0) { e.preventDefault(); choose(dd.options[i - 1].value); }
      else if (e.key === 'Escape') closeOpen();
    });
    dd.set(value);
    return dd;
  };
  bz.options = function (pairs) { // [[value, label], ...] -> [{value, label}]
    return pairs.map(function (p) { return { value: p[0], label: p[1] }; });
  };

  // ---- Switch and tabs -------------------------------------------------------------------------
  bz.switch = function (on, onChange) {
    var b = bz.el('button', 'sw');
    b.type = 'button';
    var s = { node: b };
    s.set = function (v) { s.value = !!v; b.classList.toggle('on', s.value); };
    b.addEventListener('click', function () { s.set(!s.value); if (onChange) onChange(s.value); });
    s.set(on);
    return s;
  };
  // Buttons with data-tab="x" inside bar switch the elements with data-pane="x" inside root.
  bz.tabs = function (bar, root, onSwitch) {
    var t = {};
    t.select = function (name) {
      bar.querySelectorAll('[data-tab]').forEach(function (b) { b.classList.toggle('on', b.getAttribute('data-tab') === name); });
      root.querySelectorAll('[data-pane]').forEach(function (p) { p.classList.toggle('hidden', p.getAttribute('data-pane') !== name); });
      t.current = name;
      if (onSwitch) onSwitch(name);
    };
    bar.querySelectorAll('[data-tab]').forEach(function (b) {
      b.addEventListener('click', function () { t.select(b.getAttribute('data-tab')); });
    });
    return t;
  };

  // ---- A message box inside the page -------------------------------------------------------------
  // buttons: [{label, cls, action}]; returns the close function.
  bz.popup = function (title, text, buttons, parent) {
    var back = bz.el('div', 'pop-back');
    var box = bz.el('div', 'pop');
    box.appendChild(bz.el('h2', null, title));
    if (text) box.appendChild(bz.el('p', null, text));
    var row = bz.el('div', 'row');
    function close() { if (back.parentNode) back.parentNode.removeChild(back); }
    (buttons || [{ label: 'OK', cls: 'primary' }]).forEach(function (b) {
      var btn = bz.el('button', b.cls || '', b.label);
      btn.addEventListener('click', function () { close(); if (b.action) b.action(); });
      row.appendChild(btn);
    });
    box.appendChild(row);
    back.appendChild(box);
    (parent || doc.body).appendChild(back);
    return close;
  };

  // ---- Markup from the server -----------------------------------------------------------------
  // The server's notices carry formatting. Only an allow-list of it survives: no element or
  // attribute that runs script, loads anything or navigates. Links keep http(s) targets only and
  // open through the client; the client's own buttons in notices become data-press buttons.
  var markupTags = ['b', 'strong', 'i', 'em', 'u', 's', 'small', 'big', 'sub', 'sup', 'br', 'span', 'font', 'a', 'p', 'div'];
  var markupAttrs = ['style', 'color', 'class', 'id', 'href', 'title'];
  var markupClasses = ['chatBut'];
  var markupStyles = ['color', 'background-color', 'font-weight', 'font-style', 'text-decoration'];
  // The client's own chat buttons (the Kred Box notice) as it writes them.
  var ownButton = /^\s*sendButtonPress\('(kbox-collect)'\);\s*(focusChat\(\);)?\s*$/;
  var purifier = null;
  function makePurifier() {
    var p = w.DOMPurify && w.DOMPurify.isSupported ? w.DOMPurify(w) : null;
    if (!p) return null;
    p.addHook('beforeSanitizeAttributes', function (node) {
      if (node.nodeName !== 'A' || !node.hasAttribute('onclick')) return;
      var m = ownButton.exec(node.getAttribute('onclick'));
      if (m) node.bzPress = m[1];
    });
    p.addHook('afterSanitizeAttributes', function (node) {
      if (node.nodeName === 'A') {
        var href = node.getAttribute('href');
        if (href !== null && !/^https?:\/\//i.test(href)) node.removeAttribute('href');
        if (node.bzPress) { node.setAttribute('data-press', node.bzPress); node.setAttribute('href', '#'); }
      }
      // Ids and classes of the page's own elements must not be taken: only the client's own ones stay.
      if (node.hasAttribute && node.hasAttribute('id') && !/^kboxCollectId\d+$/.test(node.getAttribute('id'))) node.removeAttribute('id');
      if (node.hasAttribute && node.hasAttribute('class')) {
        var cls = node.getAttribute('class').split(/\s+/).filter(function (k) { return markupClasses.indexOf(k) >= 0; });
        if (cls.length) node.setAttribute('class', cls.join(' ')); else node.removeAttribute('class');
      }
      if (node.hasAttribute && node.hasAttribute('style')) {
        var kept = [];
        markupStyles.forEach(function (k) {
          var v = node.style.getPropertyValue(k);
          if (v && !/url\s*\(|expression|image-set/i.test(v)) kept.push(k + ': ' + v);
        });
        if (kept.length) node.setAttribute('style', kept.join('; ')); else node.removeAttribute('style');
      }
    });
    return p;
  }
  // The words a reader sees of a tree: the text of elements that are never shown (a style's or a
  // script's body, a title, what stands in for scripts or frames) is not counted.
  var unseen = /^(script|style|template|noscript|noembed|noframes|iframe|title)$/i;
  function shown(e) {
    return !unseen.test(e.localName) && !(e.localName === 'desc' && e.namespaceURI === 'http://www.w3.org/2000/svg');
  }
  function seenWords(root) {
    var parts = [];
    (function walk(n) {
      for (var c = n.firstChild; c; c = c.nextSibling) {
        if (c.nodeType === 3) parts.push(c.nodeValue);
        else if (c.nodeType === 1 && shown(c)) walk(c);
      }
    })(root);
    return parts.join('').split(/\s+/).filter(Boolean).join(' ');
  }
  // The markup parsed in a document of its own that runs and loads nothing.
  var inert = null;
  function parsedInert(s) {
    if (!inert) inert = new w.DOMParser();
    return inert.parseFromString(s, 'text/html').documentElement;
  }
  // The markup as a fragment of allowed elements; without the sanitiser the text is shown as text.
  bz.markup = function (s) {
    var span = bz.el('span');
    s = bz.str(s);
    if (!purifier) purifier = makePurifier();
    if (!purifier) { span.textContent = s; return span; }
    var clean = purifier.sanitize(s, {
      ALLOWED_TAGS: markupTags, ALLOWED_ATTR: markupAttrs, ALLOW_DATA_ATTR: false, ALLOW_ARIA_ATTR: false,
      ALLOW_UNKNOWN_PROTOCOLS: false, RETURN_DOM_FRAGMENT: true
    });
    // Mends the line that kept only the text before what the sanitiser drops with its content (an
    // element with "is", a tag name with a no-break space, a form whose fields shadow its properties,
    // a leading <frameset>): markup that would lose words of the text is shown as text.
    if (clean && seenWords(clean) === seenWords(parsedInert(s))) span.appendChild(clean);
    else span.textContent = s;
    return span;
  };
  // Clicks on links and buttons inside markup: web addresses go to the client's link request.
  bz.markupClick = function (e) {
    var t = e.target && e.target.closest ? e.target : null;
    var b = t && t.closest('a[data-press]');
    if (b) { bz.press(b.getAttribute('data-press')); if (typeof w.focusChat === 'function') w.focusChat(); return; }
    var a = t && t.closest('a[href]');
    var href = a ? a.getAttribute('href') : '';
    if (/^https?:\/\//i.test(href)) sendQuery('lobbyBrowseExternal', { urlCode: href });
  };

  // ---- Chat list ------------------------------------------------------------------------------
  // Chat texts arrive as HTML made by the client (users' texts escaped, the server's and the
  // client's notices as markup) and pass the sanitiser; names are shown as text.
  bz.chat = function (list, onName) {
    var c = { list: list, max: 400 };
    function nearBottom() { return list.scrollHeight - list.scrollTop - list.clientHeight < 40; }
    // The list follows new lines while its end is in view. That is learnt when it scrolls (its own
    // scroll to endTop leaves it following, whatever lines came in since), and the scroll to the end
    // waits for the next frame, once for all lines before it: adding a line asks for no layout.
    var follow = true, scrolling = false, endTop = 0;
    list.addEventListener('scroll', function () { follow = list.scrollTop >= endTop || nearBottom(); });
    function toEnd() {
      if (scrolling) return;
      scrolling = true;
      w.requestAnimationFrame(function () {
        scrolling = false;
        if (!follow) return;
        list.scrollTop = list.scrollHeight;
        endTop = list.scrollTop;
      });
    }
    var html = bz.markup;
    list.addEventListener('click', function (e) { try { bz.markupClick(e); } catch (x) { bz.report('chat link', x); } });
    function name(n, cls) {
      var e = bz.el('span', cls, n);
      if (onName) e.addEventListener('click', function () { onName(n); });
      return e;
    }
    c.add = function (o) {
      o = bz.obj(o);
      var cls = bz.int(o.chatClass);
      var line = bz.el('div', 'line c' + cls);
      line.setAttribute('data-id', bz.str(o.entryId));
      line.setAttribute('data-sender', bz.str(o.sender));
      line.appendChild(bz.el('span', 'time', bz.clock()));
      if (bz.str(o.sender)) {
        line.appendChild(name(bz.str(o.sender), 'who'));
        line.appendChild(doc.createTextNode(cls === 1 ? ' whispers: ' : ': '));
      }
      line.appendChild(html(o.text1));
      if (bz.str(o.playerName1)) line.appendChild(name(bz.str(o.playerName1), 'pn'));
      line.appendChild(html(o.text2));
      if (bz.str(o.playerName2)) line.appendChild(name(bz.str(o.playerName2), 'pn'));
      line.appendChild(html(o.text3));
      list.appendChild(line);
      while (list.children.length > c.max) list.removeChild(list.firstChild);
      if (follow) toEnd();
      return line;
    };
    c.notice = function (text) { return c.add({ chatClass: 7, text1: bz.escape(text) }); };
    // entries: the ids as text ("12,13" or "12 13"); deleteWhat 0 with no ids empties the list.
    c.remove = function (o) {
      o = bz.obj(o);
      var ids = bz.str(o.entries).split(/[^0-9-]+/).filter(function (s) { return s !== ''; });
      if (!ids.length) { if (bz.int(o.deleteWhat) === 0 && bz.str(o.entries) === '') bz.clear(list); return; }
      ids.forEach(function (id) {
        list.querySelectorAll('.line[data-id="' + id + '"]').forEach(function (l) { l.parentNode.removeChild(l); });
      });
    };
    c.removeSender = function (nick) {
      list.querySelectorAll('.line').forEach(function (l) { if (l.getAttribute('data-sender') === nick) l.parentNode.removeChild(l); });
    };
    c.clear = function () { bz.clear(list); };
    return c;
  };
  // Match statistics: the server sends numbers in pairs (first player, second player) in this order.
  bz.statLabels = ['Points scored', 'Balls potted', 'Pot success %', 'Long pots', 'Safety success %', 'Highest break',
                   'Breaks over 50', 'Fouls', 'Misses', 'Average shot time (s)', 'Frames won'];
  bz.statsRows = function (o) {
    var d = bz.arr(bz.obj(o).idata), rows = [];
    for (var i = 0; 2 * i + 1 < d.length && i < bz.statLabels.length; i++) {
      rows.push({ label: bz.statLabels[i], a: bz.fmtInt(d[2 * i]), b: bz.fmtInt(d[2 * i + 1]) });
    }
    return rows;
  };
  // ---- Long lists -----------------------------------------------------------------------------
  // A list of thousands that builds and lays out only the rows in view. Rows have one fixed height
  // and sit in a grid of as many columns of at least o.minWidth px as the box holds (one without
  // it); a body as tall as the whole list scrolls in box, and the few row elements are refilled in
  // place as it scrolls or the items change. o.make() builds a row, o.fill(row, item) shows an item
  // in it (writing only what differs: see bz.put); o.height(columnWidth) is the row height, o.gap
  // the space between rows and columns, o.pad the box's own top padding. The box's size comes from
  // a resize observer, so no update asks for a layout of its own.
  bz.rows = function (box, o) {
    var body = bz.el('div', 'rows');
    box.appendChild(body);
    var gap = o.gap || 0, pad = o.pad || 0, over = 2;
    var items = [], rows = [], width = -1, height = -1, top = 0, cols = 1, rowH = 1;
    var shown = { first: -1, count: -1, items: null };
    // The browser must not move the scroll position to follow a row that is refilled with another item.
    box.style.overflowAnchor = 'none';
    body.style.display = 'grid';
    body.style.gap = gap + 'px';
    function layout() {
      cols = o.minWidth ? Math.max(1, Math.floor((width + gap) / (o.minWidth + gap))) : 1;
      rowH = o.height((width - (cols - 1) * gap) / cols);
      body.style.gridTemplateColumns = 'repeat(' + cols + ', minmax(0, 1fr))';
      body.style.gridAutoRows = rowH + 'px';
    }
    function draw(force) {
      if (width < 0) {  // before the first observation: the one read of the box's size
        width = box.clientWidth - 2 * pad;
        height = box.clientHeight;
        layout();
      }
      var step = rowH + gap, lines = Math.ceil(items.length / cols);
      var seen = Math.ceil(height / step) + 1;
      var first = Math.max(0, Math.min(Math.floor((top - pad) / step) - over, lines - seen - 2 * over));
      var count = Math.max(0, Math.min(items.length - first * cols, (seen + 2 * over) * cols));
      if (!force && first === shown.first && count === shown.count && items === shown.items) return;
      shown = { first: first, count: count, items: items };
      bz.put(body.style, 'paddingTop', first * step + 'px');
      bz.put(body.style, 'height', Math.max(0, lines * step - gap) + 'px');
      while (rows.length < count) rows.push(o.make());
      while (body.children.length > count) body.removeChild(body.lastChild);
      for (var i = 0; i < count; i++) {
        var row = rows[i];
        row.item = items[first * cols + i];
        o.fill(row, row.item);
        if (row.parentNode !== body) body.appendChild(row);
      }
    }
    if (w.ResizeObserver) {
      new w.ResizeObserver(function (entries) {
        try {
          var r = entries[entries.length - 1].contentRect;
          var changed = r.width !== width;
          width = r.width;
          height = r.height + 2 * pad;
          if (changed) layout();
          draw(changed);
        } catch (e) { bz.report('rows', e); }
      }).observe(box);
    }
    box.addEventListener('scroll', function () {
      try { top = box.scrollTop; draw(false); } catch (e) { bz.report('rows', e); }
    });
    var list = {};
    list.set = function (next) { items = next; draw(true); };
    list.refresh = function () { draw(true); };
    return list;
  };
  // Sets a property only when it differs from what this script last set there: an unchanged row
  // costs no style work.
  bz.put = function (e, prop, value) {
    var k = '_bz_' + prop;
    if (e[k] === value) return;
    e[k] = value;
    if (prop === 'hidden') e.classList.toggle('hidden', value);
    else e[prop] = value;
  };
  // A table list update names only the tables that changed: each replaces the one of its id, the
  // others stay; the result is ordered by id.
  bz.mergeTables = function (tables, update) {
    var byId = {};
    tables.forEach(function (t) { byId[t.tableId] = t; });
    update.forEach(function (t) { byId[t.tableId] = t; });
    return Object.keys(byId).map(function (k) { return byId[k]; }).sort(function (a, b) { return a.tableId - b.tableId; });
  };
  bz.escape = function (s) {
    return bz.str(s).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/"/g, '&quot;');
  };
})(window);
