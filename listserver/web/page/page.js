"use strict";
// The alliance's fleet lists in the browser: the desktop program's table on wide screens, one
// card per entry on phones, forms for new and changed entries, live updates over the event
// stream and system notifications. Every value from the server is shown as text, never as
// markup.
(function () {
  // The same script is the page's service worker: phones show notifications only through one.
  // There it does nothing but bring the page forward at the entry of a clicked notification.
  if (typeof document === "undefined") {
    serveNotificationClicks();
    return;
  }

  var NOT_GIVEN = "n/a";
  var NOT_GIVEN_COLOR = "#670200";
  var WARNING = "#FFCC00";
  var WHITE = "#FFFFFF";
  // Name and background of each help code, per list: allied, then enemy.
  var HELP = [
    [["OK", "#85C23D"], ["Hilfe", "#FF4747"], ["Deff", "#FF4747"], ["Ziel", "#4ED4EC"],
     ["Abbruch", "#FFCC00"], ["", "#FFFFFF"]],
    [["OK", "#85C23D"], ["Hilfe", "#FF4747"], ["kann", "#4ED4EC"], ["Achtung", "#FFCC00"],
     ["gedefft", "#FFFFFF"], ["", "#FFFFFF"]]
  ];
  var SETTLED = 5;
  // The enemy form keeps "gedefft" and "Verteidigen" together.
  var ENEMY_DEFENDED = 4;
  var DEFEND = 1;
  var ATTACK = 2;
  // The sentence shown under a list for a clicked row, joined to a name without a blank.
  var DESCRIPTIONS = [
    [" hat alles unter Kontrolle.",
     " möchte Hilfe beim Ziel und wünscht Deffer bei Rückkehr. Kontaktieren!",
     " hat genug Schiffe für das Ziel und sucht Deffer bei Rückkehr. Kontaktieren!",
     " sucht Helfer beim Ziel und braucht keine weiteren Deffer bei Rückkehr. Kontaktieren!",
     " wird bald Abbrechen und bittet alle anderen, dies auch zu tun!",
     "s Hilfewunsch ist erledigt, da dieser Spieler bereits auf dem Rückweg ist."],
    [" hat alles unter Kontrolle.",
     " braucht noch unbedingt Hilfe. Vermutlich möchte dieser Spieler gedefft werden. " +
         "Kontaktieren!",
     " hat nichts dagegen, wenn noch mehr deffen kommen. ",
     " weis noch nichts vom Angriff und wird wohl seine Flotte verlieren.",
     " wird vom Gegner verteidigt.",
     "s Hilfewunsch hat sich erledigt, da der Gegner auf dem Rückweg ist."]
  ];
  var MISSIONS = [["n/a", "#FFFFFF"], ["Verteidigen", "#85C23D"], ["Angreifen", "#FF4747"]];
  var COLUMNS = ["Hilfe-/ Status", "Name", "Allianz", "Basis", "Punkte", "Schiffe", "Auftrag",
    "Ziel Name", "Ziel Allianz", "Ziel Basis", "Ziel Punkte", "ETA bis Ziel", "Impakt Time",
    "ETA bis R\u00fcckkehr", "Uhrzeit R\u00fcckkehr", "Update Uhrzeit", "Eingetragen von"];
  var LISTS = ["Reef_Frend", "Reef_Enemy"];
  var LIST_NAMES = ["Verb\u00fcndete Flotten", "Gegnerische Flotten"];
  var TICK = 1200;
  // Without the event stream the lists are asked for once a minute.
  var POLL_MS = 60000;
  var MAX_TEXT = 100;
  var OWN_FLEET_KEY = "reef.eigeneFlotte";

  var lists = null;
  var csrf = "";
  var shownSlot = -1;
  // Per list: the id of the selected entry, kept across every new download.
  var selected = [null, null];
  var opened = {}; // cards whose full fields are shown, by list and id
  var highlighted = null; // {list, id} of the entry a notification pointed at
  var form = null; // the open entry form

  function byId(id) {
    return document.getElementById(id);
  }

  function element(tag, className, text) {
    var node = document.createElement(tag);
    if (className) {
      node.className = className;
    }
    if (text !== undefined) {
      node.textContent = text;
    }
    return node;
  }

  function nowSeconds() {
    var d = new Date();
    return d.getHours() * 3600 + d.getMinutes() * 60 + d.getSeconds();
  }

  // Tick boundaries from now to the clock time t; -1 when t counts as past: less than 14
  // hours but more than one tick before now, or, before 14:00, more than 10 hours ahead.
  function ticksUntil(t, now) {
    if ((now - 50400 < t && t < now - TICK) || (now <= 50399 && t > now + 36000)) {
      return -1;
    }
    var ticks = Math.trunc(t / TICK) - Math.trunc(now / TICK);
    return ticks < 0 ? ticks + 72 : ticks;
  }

  function snapToTick(t) {
    return Math.trunc(t / TICK) * TICK;
  }

  function twoDigits(n) {
    return (n < 10 ? "0" : "") + n;
  }

  // A time of day; a larger value is the time of a later day, a negative one 00.
  function clockText(t, withSeconds) {
    var s = t < 0 ? 0 : t % 86400;
    var text = twoDigits(Math.floor(s / 3600)) + ":" + twoDigits(Math.floor(s / 60) % 60);
    return text + ":" + (withSeconds ? twoDigits(s % 60) : "00");
  }

  function hoursMinutes(t) {
    return clockText(t, false).slice(0, 5);
  }

  // Hours and minutes as the program's time fields read them: one or two digits, any one
  // character in place of the colon, one or two digits, the rest ignored. Empty text is
  // midnight; anything else that is no clock time gives -1.
  function parseClockTime(text) {
    if (text === "") {
      return 0;
    }
    var i = 0;
    function number() {
      var start = i;
      var value = 0;
      while (i < text.length && i - start < 2 && text.charAt(i) >= "0" && text.charAt(i) <= "9") {
        value = value * 10 + (text.charCodeAt(i++) - 48);
      }
      return i > start ? value : -1;
    }
    var hours = number();
    if (hours < 0 || i >= text.length) {
      return -1;
    }
    i++;
    var minutes = number();
    if (minutes < 0 || hours > 23 || minutes > 59) {
      return -1;
    }
    return hours * 3600 + minutes * 60;
  }

  // The time a field holds once it is put on the tick grid; invalid text becomes midnight.
  function snappedSeconds(text) {
    return snapToTick(parseClockTime(text));
  }

  function tickLabel(text, now) {
    var ticks = ticksUntil(snappedSeconds(text), now);
    return ticks < 0 ? "abg." : String(ticks);
  }

  function digitsOnly(text) {
    return text.replace(/[^0-9]/g, "");
  }

  // Only blanks are trimmed, as the program does; a tab stays part of the value.
  function trimBlanks(text) {
    return text.replace(/^ +| +$/g, "");
  }

  // Points in groups of three digits joined by "."; "n/a" for 0.
  function pointsText(digits) {
    if (/^-?0*$/.test(digits)) {
      return NOT_GIVEN;
    }
    var negative = digits.charAt(0) === "-";
    var rest = (negative ? digits.slice(1) : digits).replace(/^0+/, "");
    var out = "";
    while (rest.length > 3) {
      out = "." + rest.slice(-3) + out;
      rest = rest.slice(0, -3);
    }
    return (negative ? "-" : "") + rest + out;
  }

  // ASCII capitals and the Latin-1 capitals U+00C0 to U+00DE lower-cased.
  function lowerLatin1(text) {
    var out = "";
    for (var i = 0; i < text.length; i++) {
      var c = text.charCodeAt(i);
      out += (c >= 65 && c <= 90) || (c >= 0xC0 && c <= 0xDE) ? String.fromCharCode(c + 32)
                                                              : text.charAt(i);
    }
    return out;
  }

  // The help code once the fleet has reached its target.
  function arrivedHelp(kind, entry, now) {
    if (entry.ZielZeit === null || ticksUntil(entry.ZielZeit, now) > 0) {
      return entry.Hilfe;
    }
    if (kind === 1) {
      return SETTLED;
    }
    return entry.Hilfe === 3 ? 0 : entry.Hilfe === 4 ? SETTLED : entry.Hilfe;
  }

  // Ascending by ticks until the return, exactly as a selection sort that swaps the first
  // entry with the fewest ticks into each position in turn.
  function sortByReturnTicks(rows, now) {
    for (var i = 0; i < rows.length; i++) {
      var best = 10000;
      var at = i;
      for (var j = i; j < rows.length; j++) {
        var ticks = ticksUntil(rows[j].BasisZeit, now);
        if (ticks < best) {
          best = ticks;
          at = j;
        }
      }
      if (at !== i) {
        var swapped = rows[i];
        rows[i] = rows[at];
        rows[at] = swapped;
      }
    }
  }

  // What each column of a row shows: text, background and text colour, as the program's list
  // view fills it. Tables and cards are built from the same cells.
  function rowCells(kind, entry, now) {
    var cells = [];
    function add(text, background, color) {
      cells.push({text: text, background: background || null, color: color || null});
    }
    function orNotGiven(text) {
      var shown = text === "" ? NOT_GIVEN : text;
      add(shown, null, shown === NOT_GIVEN ? NOT_GIVEN_COLOR : null);
    }
    function points(digits) {
      var text = pointsText(digits);
      add(text, null, text === NOT_GIVEN ? NOT_GIVEN_COLOR : null);
    }
    function countdown(t) {
      var ticks = ticksUntil(t, now);
      if (ticks < 0) {
        add("abgelaufen", WHITE);
      } else {
        add(String(ticks), ticks <= 1 ? WARNING : null);
      }
      add(clockText(t, false));
    }
    var help = arrivedHelp(kind, entry, now);
    var status = HELP[kind][help];
    add(status ? status[0] : String(help), status ? status[1] : null);
    add(entry.Name);
    orNotGiven(entry.Allianz);
    add(entry.Basis);
    points(entry.Punkte);
    add(String(entry.Schiffe));
    var mission = MISSIONS[entry.Modus];
    add(mission ? mission[0] : String(entry.Modus), mission ? mission[1] : null);
    add(entry.ZielName);
    orNotGiven(entry.ZielAllianz);
    add(entry.ZielBasis);
    points(entry.ZielPunkte);
    if (entry.ZielZeit === null) {
      add(NOT_GIVEN, null, NOT_GIVEN_COLOR);
      add(NOT_GIVEN, null, NOT_GIVEN_COLOR);
    } else {
      countdown(entry.ZielZeit);
    }
    countdown(entry.BasisZeit);
    add(clockText(entry.UpdateZeit, true));
    if (kind === 1) {
      var differs = lowerLatin1(entry.Von) !== lowerLatin1(entry.ZielName);
      add(entry.Von, differs ? WARNING : null);
    }
    return {help: help, cells: cells};
  }

  function paint(node, cell) {
    if (cell.background) {
      node.style.backgroundColor = cell.background;
    }
    if (cell.color) {
      node.style.color = cell.color;
    }
  }

  // Allied: the name and the sentence of the code; enemy: the target's name and the
  // sentence, and who entered the row when that is someone else.
  function description(kind, entry, help) {
    if (kind === 0) {
      return entry.Name + DESCRIPTIONS[0][help];
    }
    var text = entry.ZielName + DESCRIPTIONS[1][help];
    return entry.Von === entry.ZielName ? text : text + " (Eingetragen von " + entry.Von + ")";
  }

  function findEntry(kind, id) {
    var entries = (lists && lists[LISTS[kind]]) || [];
    for (var i = 0; i < entries.length; i++) {
      if (entries[i].id === id) {
        return entries[i];
      }
    }
    return null;
  }

  function markSelected(kind) {
    var place = byId("liste-" + LISTS[kind]);
    var rows = place.querySelectorAll("tbody tr[data-id]");
    for (var i = 0; i < rows.length; i++) {
      rows[i].classList.toggle("gewaehlt", Number(rows[i].getAttribute("data-id")) ===
                                               selected[kind]);
    }
    updateButtons();
  }

  function select(kind, entry, help) {
    selected[kind] = entry.id;
    markSelected(kind);
    if (HELP[kind][help]) {
      byId("hinweis-" + LISTS[kind]).textContent = description(kind, entry, help);
    }
  }

  function entryRow(kind, entry, shown) {
    var row = element("tr");
    row.setAttribute("data-id", String(entry.id));
    row.addEventListener("click", function () {
      select(kind, entry, shown.help);
    });
    shown.cells.forEach(function (cell, column) {
      var td = element("td", null, cell.text);
      td.setAttribute("data-spalte", COLUMNS[column]);
      paint(td, cell);
      row.appendChild(td);
    });
    return row;
  }

  function listTable(kind, rows) {
    var columns = kind === 1 ? 17 : 16;
    var table = element("table", "tabelle");
    var head = element("thead");
    var headRow = element("tr");
    for (var c = 0; c < columns; c++) {
      headRow.appendChild(element("th", null, COLUMNS[c]));
    }
    head.appendChild(headRow);
    table.appendChild(head);
    var body = element("tbody");
    rows.forEach(function (row) {
      body.appendChild(entryRow(kind, row.entry, row.shown));
    });
    if (rows.length === 0) {
      var empty = element("tr");
      var td = element("td", "leer", "keine Eintr\u00e4ge");
      td.colSpan = columns;
      empty.appendChild(td);
      body.appendChild(empty);
    }
    table.appendChild(body);
    return table;
  }

  // "greift <Ziel Name> an", or what a defending fleet does.
  function missionLine(entry) {
    return entry.Modus === DEFEND ? "verteidigt " + entry.ZielName
                                  : "greift " + entry.ZielName + " an";
  }

  function countdownBadge(label, countCell, timeCell) {
    var box = element("span", "countdown");
    box.appendChild(element("span", "countdown-name", label));
    var count = element("span", "countdown-ticks", countCell.text);
    paint(count, countCell);
    box.appendChild(count);
    if (timeCell.text !== NOT_GIVEN) {
      box.appendChild(element("span", "countdown-zeit", timeCell.text.slice(0, 5)));
    }
    return box;
  }

  // One entry on a phone: the help status in its colour, who, whom, and the two countdowns;
  // a tap shows every field, the sentence of the help status and the change button.
  function entryCard(kind, entry, shown) {
    var key = LISTS[kind] + ":" + entry.id;
    var card = element("article", "karte");
    card.setAttribute("data-id", String(entry.id));
    var head = element("button", "karte-kopf");
    head.type = "button";
    var status = element("span", "karte-hilfe", shown.cells[0].text || "\u2013");
    paint(status, shown.cells[0]);
    head.appendChild(status);
    var who = element("span", "karte-wer");
    who.appendChild(element("strong", null, entry.Name));
    if (entry.Allianz !== "") {
      who.appendChild(document.createTextNode(" (" + entry.Allianz + ")"));
    }
    head.appendChild(who);
    head.appendChild(element("span", "karte-ziel", missionLine(entry)));
    var times = element("span", "karte-zeiten");
    times.appendChild(countdownBadge("Ziel", shown.cells[11], shown.cells[12]));
    times.appendChild(countdownBadge("R\u00fcckkehr", shown.cells[13], shown.cells[14]));
    head.appendChild(times);
    card.appendChild(head);

    var details = element("div", "karte-details");
    var fields = element("dl");
    shown.cells.forEach(function (cell, column) {
      fields.appendChild(element("dt", null, COLUMNS[column]));
      var value = element("dd", null, cell.text);
      paint(value, cell);
      fields.appendChild(value);
    });
    details.appendChild(fields);
    if (HELP[kind][shown.help]) {
      details.appendChild(element("p", "karte-beschreibung",
                                  description(kind, entry, shown.help)));
    }
    var change = element("button", "karte-aendern", "Eintrag Aktualisieren");
    change.type = "button";
    change.addEventListener("click", function () {
      openForm(kind, entry);
    });
    details.appendChild(change);
    card.appendChild(details);

    function show(open) {
      details.hidden = !open;
      head.setAttribute("aria-expanded", open ? "true" : "false");
      card.classList.toggle("offen", open);
      if (open) {
        opened[key] = true;
      } else {
        delete opened[key];
      }
    }
    show(!!opened[key]);
    head.addEventListener("click", function () {
      show(details.hidden);
      select(kind, entry, shown.help);
    });
    return card;
  }

  function listCards(kind, rows) {
    var box = element("div", "karten");
    rows.forEach(function (row) {
      box.appendChild(entryCard(kind, row.entry, row.shown));
    });
    if (rows.length === 0) {
      box.appendChild(element("p", "leer", "keine Eintr\u00e4ge"));
    }
    return box;
  }

  function render() {
    if (!lists) {
      return;
    }
    var now = nowSeconds();
    shownSlot = Math.floor(now / TICK);
    LISTS.forEach(function (id, kind) {
      var entries = (lists[id] || []).slice();
      sortByReturnTicks(entries, now);
      var rows = entries.map(function (entry) {
        return {entry: entry, shown: rowCells(kind, entry, now)};
      });
      if (selected[kind] !== null && !findEntry(kind, selected[kind])) {
        selected[kind] = null;
      }
      byId("liste-" + id).replaceChildren(listTable(kind, rows), listCards(kind, rows));
      markSelected(kind);
    });
    showHighlight();
    document.body.setAttribute("data-gezeigt", String(now));
  }

  function setStatus(text) {
    byId("status").textContent = text;
  }

  // ---- The lists from the server: asked for no faster than the server allows. ----

  var loading = false;
  var askAgain = false;
  var waitTimer = null;
  var waitAfterFailure = false; // the wait is ours, not the server's: a member may cut it short

  // A download at once, or one more after the running one; on "too many" after the wait the
  // server names.
  function requestLists() {
    if (loading) {
      askAgain = true;
      return;
    }
    if (waitTimer !== null) {
      return;
    }
    loading = true;
    setStatus("Status: warte auf Antwort");
    fetchLists().then(function (result) {
      waitAfterFailure = !!result.failed && streamOpen;
      if (waitAfterFailure) {
        // No event may come for a long time: try again soon rather than show old lists.
        result.wait = 10000;
      }
      if (result.wait) {
        if (!result.failed) {
          setStatus("Status: warte " + Math.ceil(result.wait / 1000) + " s");
        }
        waitTimer = window.setTimeout(function () {
          waitTimer = null;
          requestLists();
        }, result.wait);
      }
    }).finally(function () {
      loading = false;
      if (askAgain && waitTimer === null) {
        askAgain = false;
        requestLists();
      }
    });
  }

  // "Liste Aktualisieren": at once, unless the server asked for a pause.
  function refreshByHand() {
    if (waitTimer !== null && waitAfterFailure) {
      window.clearTimeout(waitTimer);
      waitTimer = null;
    }
    requestLists();
  }

  // One GET of the lists; resolves to {ok}, {wait: ms} or {failed}, never rejects.
  function fetchLists() {
    return fetch("/api/lists", {credentials: "same-origin", cache: "no-store",
                                headers: {"X-Reef-Csrf": csrf}})
        .then(function (answer) {
          if (answer.status === 401) {
            window.location.assign("/");
            return {ok: false};
          }
          if (answer.status === 429) {
            var seconds = parseInt(answer.headers.get("Retry-After") || "", 10);
            return {ok: false, wait: (seconds > 0 && seconds < 3600 ? seconds : 6) * 1000};
          }
          if (!answer.ok) {
            throw new Error(String(answer.status));
          }
          // The session's token for its writes comes as a header; asked with that header
          // (even empty), the body is the one every session of the alliance gets.
          csrf = answer.headers.get("X-Reef-Csrf") || csrf;
          return answer.json().then(function (data) {
            takeLists(data);
            return {ok: true};
          });
        })
        .catch(function () {
          setStatus("Status: Fehler!");
          return {ok: false, failed: true};
        });
  }

  var TEXT_FIELDS = ["Name", "Allianz", "Basis", "Punkte", "ZielName", "ZielAllianz", "ZielBasis",
                     "ZielPunkte", "Von"];
  var NUMBER_FIELDS = ["Hilfe", "Schiffe", "Modus", "BasisZeit", "UpdateZeit"];

  // An entry whose fields have the types the page reads; anything else is left out.
  function isEntry(value) {
    if (value === null || typeof value !== "object" ||
        !(typeof value.id === "number" && value.id > 0)) {
      return false;
    }
    return TEXT_FIELDS.every(function (name) {
      return typeof value[name] === "string";
    }) && NUMBER_FIELDS.every(function (name) {
      return typeof value[name] === "number";
    }) && (value.ZielZeit === null || typeof value.ZielZeit === "number");
  }

  function takeLists(data) {
    if (!data || typeof data.lists !== "object" || data.lists === null) {
      throw new Error("no lists");
    }
    var taken = {};
    LISTS.forEach(function (id) {
      var entries = data.lists[id];
      taken[id] = Array.isArray(entries) ? entries.filter(isEntry) : [];
    });
    lists = taken;
    render();
    byId("aktualisiert").textContent =
        "letzte Aktualisierung: " + clockText(nowSeconds(), true);
    setStatus("Status: Fertig!");
  }

  // The countdowns follow each new 20-minute slot between two downloads.
  function followTicks() {
    if (lists && Math.floor(nowSeconds() / TICK) !== shownSlot) {
      render();
      if (form) {
        TIME_FIELDS.forEach(function (f) {
          if (form.ticks[f[0]].textContent !== "") {
            showTicks(f[0]);
          }
        });
      }
    }
  }

  // ---- The event stream: every write to the alliance's lists, and alerts. ----

  var stream = null;
  var streamOpen = false;
  var reconnectMs = 1000;

  function connectStream() {
    if (!window.EventSource) {
      return;
    }
    stream = new EventSource("/api/events");
    stream.addEventListener("open", function () {
      streamOpen = true;
      reconnectMs = 1000;
      // What was written while no stream was open.
      requestLists();
    });
    stream.addEventListener("lists", requestLists);
    stream.addEventListener("alert", function (event) {
      alertArrived(event.data);
    });
    stream.addEventListener("error", function () {
      // The browser's own retry would hammer a server that refuses the stream; back off.
      streamOpen = false;
      stream.close();
      stream = null;
      var wait = reconnectMs * (0.75 + Math.random() / 2);
      reconnectMs = Math.min(reconnectMs * 2, 60000);
      window.setTimeout(connectStream, wait);
    });
  }

  function pollWithoutStream() {
    if (!streamOpen) {
      requestLists();
    }
  }

  // ---- Notifications ----

  function serveNotificationClicks() {
    self.addEventListener("notificationclick", function (event) {
      event.notification.close();
      var shown = event.notification.data;
      event.waitUntil(self.clients.matchAll({type: "window", includeUncontrolled: true})
                          .then(function (pages) {
                            if (pages.length === 0) {
                              return self.clients.openWindow("/");
                            }
                            pages[0].postMessage({zeige: shown});
                            return pages[0].focus();
                          }));
    });
  }

  function worker() {
    return "serviceWorker" in navigator && window.isSecureContext ? navigator.serviceWorker : null;
  }

  function startWorker() {
    var workers = worker();
    if (workers) {
      workers.register("/app.js").catch(function () {
        // Without it, browsers that have a Notification constructor still notify.
      });
    }
  }

  function listenToWorker() {
    var workers = worker();
    if (!workers) {
      return;
    }
    workers.addEventListener("message", function (event) {
      var shown = event.data && event.data.zeige;
      if (shown && typeof shown.id === "number" && LISTS.indexOf(shown.list) >= 0) {
        highlight(LISTS.indexOf(shown.list), shown.id);
      }
    });
    // Messages wait in a queue until the page says it listens.
    workers.startMessages();
  }

  function notificationsUsable() {
    return "Notification" in window && window.isSecureContext;
  }

  function showNotificationState() {
    var button = byId("benachrichtigungen");
    var note = byId("benachrichtigungen-hinweis");
    if (!notificationsUsable()) {
      button.hidden = true;
      note.textContent = "Benachrichtigungen gehen nur \u00fcber HTTPS.";
      return;
    }
    var permission = Notification.permission;
    if (permission === "granted") {
      startWorker();
    }
    button.hidden = permission !== "default";
    note.textContent = permission === "granted"   ? "Benachrichtigungen an"
                       : permission === "denied" ? "Benachrichtigungen blockiert"
                                                 : "";
  }

  function askForNotifications() {
    var asked = Notification.requestPermission(showNotificationState);
    if (asked && asked.then) {
      asked.then(showNotificationState);
    }
  }

  function alertArrived(data) {
    var alert;
    try {
      alert = JSON.parse(data);
    } catch (error) {
      return;
    }
    if (!alert || typeof alert.text !== "string" || typeof alert.id !== "number" ||
        LISTS.indexOf(alert.list) < 0) {
      return;
    }
    if (!notificationsUsable() || Notification.permission !== "granted") {
      return;
    }
    var kind = LISTS.indexOf(alert.list);
    // The text names the list already.
    var title = "Reef - Tools";
    var options = {body: alert.text, tag: alert.list + ":" + alert.id,
                   data: {list: alert.list, id: alert.id}};
    try {
      var note = new Notification(title, options);
      note.onclick = function () {
        window.focus();
        note.close();
        highlight(kind, alert.id);
      };
    } catch (error) {
      // Phones refuse the constructor and notify through the service worker only.
      var workers = worker();
      if (workers) {
        workers.ready.then(function (registration) {
          return registration.showNotification(title, options);
        }).catch(function () {});
      }
    }
  }

  // Brings the entry into view and marks it, also when the list holding it is still on its
  // way.
  function highlight(kind, id) {
    highlighted = {kind: kind, id: id, unseen: true};
    opened[LISTS[kind] + ":" + id] = true;
    render();
  }

  // Marks the entry a notification pointed at; the first time it is there, it is also
  // scrolled into view and selected.
  function showHighlight() {
    var marked = document.querySelectorAll(".hervorgehoben");
    for (var i = 0; i < marked.length; i++) {
      marked[i].classList.remove("hervorgehoben");
    }
    if (!highlighted) {
      return;
    }
    var kind = highlighted.kind;
    var entry = findEntry(kind, highlighted.id);
    if (!entry) {
      return;
    }
    var place = byId("liste-" + LISTS[kind]);
    var nodes = place.querySelectorAll("[data-id=\"" + entry.id + "\"]");
    var visible = null;
    for (var n = 0; n < nodes.length; n++) {
      nodes[n].classList.add("hervorgehoben");
      if (nodes[n].offsetParent !== null) {
        visible = nodes[n];
      }
    }
    if (highlighted.unseen && visible) {
      highlighted.unseen = false;
      visible.scrollIntoView({block: "center"});
      selected[kind] = entry.id;
      markSelected(kind);
    }
  }

  // ---- The entry form: the fields of the program's entry dialogs. ----

  // Field, label, required, kind of input.
  var OWN_FIELDS = [["Name", "Name", true], ["Allianz", "Allianz", false],
                    ["Basis", "Basis", true], ["Punkte", "Punkte", false, "zahl"],
                    ["Schiffe", "Schiffe", true, "zahl"]];
  var TARGET_FIELDS = [["ZielName", "Name", true], ["ZielAllianz", "Allianz", false],
                       ["ZielBasis", "Basis", true], ["ZielPunkte", "Punkte", false, "zahl"]];
  var TIME_FIELDS = [["ZielZeit", "am Ziel", false], ["BasisZeit", "R\u00fcckkehr", true]];
  var BY_FIELD_ORDER = ["Name", "Basis", "Schiffe", "ZielName", "ZielBasis", "BasisZeit", "Von"];
  // What a refusal may call a field, longest first so that "Ziel Name" is not read as "Name".
  var FIELD_WORDS = [["Eintragung get\u00e4tigt von", "Von"], ["Eingetragen von", "Von"],
    ["Uhrzeit R\u00fcckkehr", "BasisZeit"], ["ETA bis R\u00fcckkehr", "BasisZeit"],
    ["Ziel Allianz", "ZielAllianz"], ["Ziel Punkte", "ZielPunkte"], ["Ziel Basis", "ZielBasis"],
    ["Ziel Name", "ZielName"], ["Impakt Time", "ZielZeit"], ["ETA bis Ziel", "ZielZeit"],
    ["ZielAllianz", "ZielAllianz"], ["ZielPunkte", "ZielPunkte"], ["ZielBasis", "ZielBasis"],
    ["ZielName", "ZielName"], ["ZielZeit", "ZielZeit"], ["BasisZeit", "BasisZeit"],
    ["am Ziel", "ZielZeit"], ["R\u00fcckkehr", "BasisZeit"], ["Auftrag", "Modus"],
    ["Modus", "Modus"], ["Hilfe", "Hilfe"], ["Schiffe", "Schiffe"], ["Punkte", "Punkte"],
    ["Allianz", "Allianz"], ["Basis", "Basis"], ["Name", "Name"], ["Von", "Von"]];

  function ownFleet() {
    try {
      var saved = JSON.parse(window.localStorage.getItem(OWN_FLEET_KEY) || "{}");
      return saved && typeof saved === "object" ? saved : {};
    } catch (error) {
      return {};
    }
  }

  function saveOwnFleet(values) {
    try {
      window.localStorage.setItem(OWN_FLEET_KEY, JSON.stringify(values));
    } catch (error) {
      // A browser that keeps nothing only loses the prefill.
    }
  }

  function fieldRow(form, name, label, required, type) {
    var row = element("div", "feld");
    var id = "feld-" + name;
    var caption = element("label", null, label + (required ? "*:" : ":"));
    caption.htmlFor = id;
    row.appendChild(caption);
    var input = element("input");
    input.id = id;
    input.name = name;
    input.type = "text";
    input.maxLength = MAX_TEXT;
    input.autocomplete = "off";
    input.spellcheck = false;
    if (required) {
      input.setAttribute("aria-required", "true");
    }
    if (type === "zahl") {
      input.inputMode = "numeric";
    }
    row.appendChild(input);
    var fault = element("span", "feldfehler");
    fault.id = "fehler-" + name;
    row.appendChild(fault);
    form.inputs[name] = input;
    return row;
  }

  function choiceRow(form, name, label, texts) {
    var row = element("div", "feld");
    var caption = element("label", null, label);
    caption.htmlFor = "feld-" + name;
    row.appendChild(caption);
    var list = element("select");
    list.id = "feld-" + name;
    list.name = name;
    texts.forEach(function (text, code) {
      var option = element("option", null, text);
      option.value = String(code);
      list.appendChild(option);
    });
    row.appendChild(list);
    var fault = element("span", "feldfehler");
    fault.id = "fehler-" + name;
    row.appendChild(fault);
    form.inputs[name] = list;
    return row;
  }

  function timeRow(form, name, label, required) {
    var row = fieldRow(form, name, label, required);
    var input = form.inputs[name];
    input.inputMode = "decimal";
    input.placeholder = "hh:mm";
    input.title = "Die graue Zahl hinter dem Eingabefeld zeigt die ETA-Dauer.";
    var ticks = element("span", "ticks");
    ticks.id = "ticks-" + name;
    row.insertBefore(ticks, input.nextSibling);
    form.ticks[name] = ticks;
    return row;
  }

  // A row whose label is too long to stand beside its field.
  function wide(row) {
    row.classList.add("breit");
    return row;
  }

  function frame(title, rows) {
    var set = element("fieldset");
    set.appendChild(element("legend", null, title));
    rows.forEach(function (row) {
      set.appendChild(row);
    });
    return set;
  }

  // The grey tick count after a time field: "am Ziel" shows none while empty, "Rückkehr"
  // always counts (an empty field is midnight).
  function showTicks(name) {
    var text = form.inputs[name].value;
    form.ticks[name].textContent =
        name === "ZielZeit" && text === "" ? "" : tickLabel(text, nowSeconds());
  }

  // Leaving a time field puts its time on the tick grid; an empty "Rückkehr" becomes 00:00.
  function snapField(name) {
    var input = form.inputs[name];
    if (name === "ZielZeit" && input.value === "") {
      return;
    }
    input.value = hoursMinutes(snappedSeconds(input.value));
  }

  function isComplete() {
    return BY_FIELD_ORDER.every(function (name) {
      return !form.inputs[name] || form.inputs[name].value !== "";
    });
  }

  function checkComplete() {
    form.submit.disabled = form.busy || !isComplete();
  }

  function clearFaults() {
    form.message.textContent = "";
    var faults = form.node.querySelectorAll(".feldfehler");
    for (var i = 0; i < faults.length; i++) {
      faults[i].textContent = "";
    }
    Object.keys(form.inputs).forEach(function (name) {
      form.inputs[name].removeAttribute("aria-invalid");
    });
  }

  function showFault(name, text) {
    var fault = byId("fehler-" + name);
    if (fault && form.inputs[name]) {
      fault.textContent = text;
      form.inputs[name].setAttribute("aria-invalid", "true");
      form.inputs[name].focus();
    }
  }

  function fieldOfFault(answer) {
    if (answer && typeof answer.field === "string" && form.inputs[answer.field]) {
      return answer.field;
    }
    var text = answer && typeof answer.error === "string" ? answer.error : "";
    for (var i = 0; i < FIELD_WORDS.length; i++) {
      if (text.indexOf(FIELD_WORDS[i][0]) >= 0 && form.inputs[FIELD_WORDS[i][1]]) {
        return FIELD_WORDS[i][1];
      }
    }
    return null;
  }

  function text(name) {
    return trimBlanks(form.inputs[name].value);
  }

  // The entry as the program's request would carry it: texts trimmed, counts as their digits,
  // times on the tick grid.
  function formEntry() {
    var entry = {};
    var help = form.inputs.Hilfe.selectedIndex;
    if (help >= 0) {
      entry.Hilfe = help;
    }
    ["Name", "Allianz", "Basis", "ZielName", "ZielAllianz", "ZielBasis"].forEach(function (name) {
      entry[name] = text(name);
    });
    entry.Punkte = digitsOnly(form.inputs.Punkte.value) || "0";
    entry.ZielPunkte = digitsOnly(form.inputs.ZielPunkte.value) || "0";
    var ships = digitsOnly(form.inputs.Schiffe.value);
    entry.Schiffe = ships === "" ? 0 : Number(ships);
    entry.Modus = form.inputs.Modus.selectedIndex;
    var target = text("ZielZeit");
    var targetTime = parseClockTime(target);
    // A change keeps an unreadable target time as midnight, a new entry leaves it out.
    entry.ZielZeit = target === "" ? null
                     : targetTime >= 0 ? snapToTick(targetTime)
                     : form.entry ? 0 : null;
    entry.BasisZeit = snappedSeconds(form.inputs.BasisZeit.value);
    if (form.kind === 1) {
      entry.Von = text("Von");
    }
    return entry;
  }

  function setBusy(busy) {
    form.busy = busy;
    form.fields.disabled = busy;
    form.cancel.disabled = busy;
    checkComplete();
  }

  function send(entry, secondTry) {
    var path = form.entry ? "/api/entries/" + form.entry.id : "/api/entries";
    var sentFor = form;
    return fetch(path, {
             method: form.entry ? "PUT" : "POST",
             credentials: "same-origin",
             cache: "no-store",
             headers: {"Content-Type": "application/json", "X-Reef-Csrf": csrf},
             body: JSON.stringify({list: LISTS[form.kind], entry: entry})
           })
        .then(function (answer) {
          if (sentFor !== form) {
            return;
          }
          if (answer.status === 403 && !secondTry) {
            // The token may be an old session's: take a fresh one and try once more.
            return fetchLists().then(function () {
              return send(entry, true);
            });
          }
          return answer.text().then(function (body) {
            var data = null;
            try {
              data = JSON.parse(body);
            } catch (error) {
              data = null;
            }
            answered(answer.status, data);
          });
        })
        .catch(function () {
          if (sentFor === form) {
            answered(0, null);
          }
        });
  }

  function answered(status, data) {
    setBusy(false);
    if (status === 200 || status === 201) {
      setStatus("Status: Fertig!");
      closeForm();
      // An open stream announces the write itself; asking now as well would use up the
      // session's allowance twice as fast.
      if (!streamOpen) {
        requestLists();
      }
      return;
    }
    if (status === 401) {
      window.location.assign("/");
      return;
    }
    var message;
    var failure;
    if (status === 422) {
      message = data && typeof data.error === "string" ? data.error
                                                       : "Der Eintrag wurde abgelehnt.";
      failure = "falsche Eingabe";
      var field = fieldOfFault(data);
      if (field) {
        showFault(field, message);
      }
    } else if (status === 429) {
      message = "Zu viele Eintr\u00e4ge in kurzer Zeit. Bitte warte einen Moment und " +
                "versuche es dann noch einmal.";
      failure = "zu viele Eintr\u00e4ge";
    } else if (status === 403) {
      message = "Die Sitzung ist abgelaufen. Bitte lade die Seite neu.";
      failure = "Sitzung abgelaufen";
    } else if (status === 404) {
      message = "Diesen Eintrag gibt es nicht mehr.";
      failure = "Eintrag nicht gefunden";
    } else if (status === 0) {
      message = "Keine Verbindung zum Server. Bitte versuche es noch einmal.";
      failure = "keine Verbindung";
    } else {
      message = "Der Server antwortet mit dem Fehler " + status + ". Bitte versuche es " +
                "sp\u00e4ter noch einmal.";
      failure = "Server " + status;
    }
    // The server says what went wrong in German; its words win over the page's own.
    if (status !== 422 && data && typeof data.error === "string" && data.error !== "") {
      message = data.error;
    }
    form.message.textContent = message;
    setStatus("Status: Fehler (" + failure + ")");
  }

  function submitForm(event) {
    event.preventDefault();
    if (form.busy) {
      return;
    }
    snapField("BasisZeit");
    snapField("ZielZeit");
    showTicks("ZielZeit");
    showTicks("BasisZeit");
    clearFaults();
    if (!isComplete()) {
      checkComplete();
      return;
    }
    var entry = formEntry();
    if (!form.entry && form.kind === 0) {
      saveOwnFleet({Name: form.inputs.Name.value, Allianz: form.inputs.Allianz.value,
                    Basis: form.inputs.Basis.value, Punkte: form.inputs.Punkte.value,
                    Schiffe: form.inputs.Schiffe.value});
    } else if (form.kind === 1 && !ownFleet().Name) {
      saveOwnFleet({Name: form.inputs.Von.value});
    }
    setBusy(true);
    setStatus("Status: warte auf Antwort");
    send(entry, false);
  }

  function closeForm() {
    if (!form) {
      return;
    }
    var kind = form.kind;
    var scrolled = form.scrolled;
    form.layer.remove();
    form = null;
    document.body.classList.remove("formular-offen");
    window.scrollTo(0, scrolled);
    updateButtons();
    var back = byId("neu-" + LISTS[kind]);
    if (back && back.offsetParent !== null) {
      back.focus({preventScroll: true});
    }
  }

  function cancelForm() {
    closeForm();
    setStatus("Status: Abgebrochen");
  }

  // The enemy form keeps help code "gedefft" and mission "Verteidigen" together.
  function coupleMission() {
    var help = form.inputs.Hilfe;
    if (form.inputs.Modus.selectedIndex === DEFEND) {
      help.selectedIndex = ENEMY_DEFENDED;
    } else if (help.selectedIndex === ENEMY_DEFENDED) {
      help.selectedIndex = 0;
    }
  }

  function coupleHelp() {
    var mission = form.inputs.Modus;
    if (form.inputs.Hilfe.selectedIndex === ENEMY_DEFENDED) {
      mission.selectedIndex = DEFEND;
    } else if (mission.selectedIndex === DEFEND) {
      mission.selectedIndex = ATTACK;
    }
  }

  function prefill(kind, entry) {
    var inputs = form.inputs;
    if (entry) {
      var now = nowSeconds();
      var shown = rowCells(kind, entry, now);
      ["Name", "Allianz", "Basis", "ZielName", "ZielAllianz", "ZielBasis"].forEach(function (n) {
        inputs[n].value = entry[n];
      });
      var points = pointsText(entry.Punkte);
      var targetPoints = pointsText(entry.ZielPunkte);
      inputs.Punkte.value = points === NOT_GIVEN ? "" : points;
      inputs.ZielPunkte.value = targetPoints === NOT_GIVEN ? "" : targetPoints;
      inputs.Schiffe.value = String(entry.Schiffe);
      inputs.ZielZeit.value = entry.ZielZeit === null ? "" : hoursMinutes(entry.ZielZeit);
      inputs.BasisZeit.value = hoursMinutes(entry.BasisZeit);
      inputs.Modus.selectedIndex = MISSIONS[entry.Modus] ? entry.Modus : -1;
      // A settled entry (code 5) has no place in the list: nothing is selected, and the
      // server keeps the code.
      inputs.Hilfe.selectedIndex = shown.help >= 0 && shown.help < SETTLED ? shown.help : -1;
      showTicks("ZielZeit");
      showTicks("BasisZeit");
    } else {
      inputs.Modus.selectedIndex = ATTACK;
      inputs.Hilfe.selectedIndex = 0;
      var own = ownFleet();
      if (kind === 0) {
        ["Name", "Allianz", "Basis", "Punkte", "Schiffe"].forEach(function (n) {
          inputs[n].value = typeof own[n] === "string" ? own[n].slice(0, MAX_TEXT) : "";
        });
      }
    }
    if (kind === 1) {
      // Who enters the row is the member; a change by someone who never gave a name keeps the
      // entry's.
      var name = ownFleet().Name;
      inputs.Von.value = typeof name === "string" && name !== "" ? name.slice(0, MAX_TEXT)
                         : entry                                 ? entry.Von
                                                                 : "";
    }
  }

  function openForm(kind, entry) {
    if (form) {
      closeForm();
    }
    form = {kind: kind, entry: entry, inputs: {}, ticks: {}, busy: false,
            scrolled: window.scrollY};
    var layer = element("div", "formular-ebene");
    var box = element("form", "formular");
    box.id = "formular";
    box.noValidate = true;
    box.setAttribute("aria-labelledby", "formular-titel");
    var title = element("h2", null, LIST_NAMES[kind] + " - " +
                                        (entry ? "Eintrag \u00e4ndern" : "neuer Eintrag"));
    title.id = "formular-titel";
    box.appendChild(title);
    var fields = element("fieldset", "formular-felder");
    var own = OWN_FIELDS.map(function (f) {
      return fieldRow(form, f[0], f[1], f[2], f[3]);
    });
    own.push(choiceRow(form, "Modus", "Auftrag:", MISSIONS.map(function (m) {
      return m[0];
    })));
    fields.appendChild(frame(kind === 0 ? "Daten der eigenen Flotte"
                                        : "Daten der feindlichen Flotte", own));
    fields.appendChild(frame("Daten des Ziels", TARGET_FIELDS.map(function (f) {
      return fieldRow(form, f[0], f[1], f[2], f[3]);
    })));
    fields.appendChild(frame("Ankunft der Flotte (Uhrzeit)", TIME_FIELDS.map(function (f) {
      return timeRow(form, f[0], f[1], f[2]);
    })));
    if (kind === 1) {
      fields.appendChild(frame("Sonstige Daten",
                               [wide(fieldRow(form, "Von", "Eintragung get\u00e4tigt von", true))]));
    }
    var helpNames = HELP[kind].slice(0, SETTLED).map(function (h) {
      return h[0];
    });
    fields.appendChild(choiceRow(form, "Hilfe", "Hilfe-/ Status:", helpNames));
    fields.appendChild(element("p", "stern", "Felder mit einem Stern m\u00fcssen ausgef\u00fcllt werden!"));
    box.appendChild(fields);
    var message = element("p", "formular-meldung");
    message.id = "formular-meldung";
    message.setAttribute("role", "alert");
    box.appendChild(message);
    var buttons = element("div", "formular-knoepfe");
    var submit = element("button", "uebernehmen", "\u00dcbernehmen");
    submit.type = "submit";
    var cancel = element("button", "abbrechen", "Abbrechen");
    cancel.type = "button";
    buttons.appendChild(submit);
    buttons.appendChild(cancel);
    box.appendChild(buttons);
    layer.appendChild(box);

    form.node = box;
    form.layer = layer;
    form.fields = fields;
    form.message = message;
    form.submit = submit;
    form.cancel = cancel;
    prefill(kind, entry);

    box.addEventListener("submit", submitForm);
    cancel.addEventListener("click", cancelForm);
    box.addEventListener("keydown", function (event) {
      if (event.key === "Escape" && !form.busy) {
        cancelForm();
      }
    });
    box.addEventListener("input", function (event) {
      var name = event.target.name;
      if (name === "ZielZeit" || name === "BasisZeit") {
        showTicks(name);
      }
      checkComplete();
    });
    box.addEventListener("change", function (event) {
      if (kind === 1 && event.target.name === "Modus") {
        coupleMission();
      } else if (kind === 1 && event.target.name === "Hilfe") {
        coupleHelp();
      }
      checkComplete();
    });
    TIME_FIELDS.forEach(function (f) {
      form.inputs[f[0]].addEventListener("blur", function () {
        if (form && !form.busy) {
          snapField(f[0]);
          showTicks(f[0]);
          checkComplete();
        }
      });
    });
    checkComplete();
    document.body.appendChild(layer);
    document.body.classList.add("formular-offen");
    window.scrollTo(0, 0);
    updateButtons();
    setStatus("Status: warte auf Eingabe");
    form.inputs.Name.focus();
  }

  function updateButtons() {
    LISTS.forEach(function (id, kind) {
      var create = byId("neu-" + id);
      var change = byId("aendern-" + id);
      if (create) {
        create.disabled = form !== null;
      }
      if (change) {
        change.disabled = form !== null || selected[kind] === null;
      }
    });
  }

  function wireButtons() {
    LISTS.forEach(function (id, kind) {
      byId("neu-" + id).addEventListener("click", function () {
        openForm(kind, null);
      });
      byId("aendern-" + id).addEventListener("click", function () {
        var entry = selected[kind] === null ? null : findEntry(kind, selected[kind]);
        if (entry) {
          openForm(kind, entry);
        }
      });
      byId("laden-" + id).addEventListener("click", refreshByHand);
    });
    byId("benachrichtigungen").addEventListener("click", askForNotifications);
    updateButtons();
  }

  document.addEventListener("DOMContentLoaded", function () {
    wireButtons();
    listenToWorker();
    showNotificationState();
    requestLists();
    connectStream();
    window.setInterval(pollWithoutStream, POLL_MS);
    window.setInterval(followTicks, 5000);
  });
})();
