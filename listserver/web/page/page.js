"use strict";
(function () {
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
  var TICK = 1200;
  var REFRESH_MS = 60000;

  var lists = null;
  var shownSlot = -1;

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

  function twoDigits(n) {
    return (n < 10 ? "0" : "") + n;
  }

  // A time of day; a larger value is the time of a later day, a negative one 00.
  function clockText(t, withSeconds) {
    var s = t < 0 ? 0 : t % 86400;
    var text = twoDigits(Math.floor(s / 3600)) + ":" + twoDigits(Math.floor(s / 60) % 60);
    return text + ":" + (withSeconds ? twoDigits(s % 60) : "00");
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

  function cell(row, column, text, background, color) {
    var td = document.createElement("td");
    td.textContent = text;
    td.setAttribute("data-spalte", COLUMNS[column]);
    if (background) {
      td.style.backgroundColor = background;
    }
    if (color) {
      td.style.color = color;
    }
    row.appendChild(td);
  }

  // Dark red wherever the cell reads "n/a", as in the desktop program.
  function orNotGiven(row, column, text) {
    var shown = text === "" ? NOT_GIVEN : text;
    cell(row, column, shown, null, shown === NOT_GIVEN ? NOT_GIVEN_COLOR : null);
  }

  function pointsCell(row, column, digits) {
    var text = pointsText(digits);
    cell(row, column, text, null, text === NOT_GIVEN ? NOT_GIVEN_COLOR : null);
  }

  function countdownCells(row, column, t, now) {
    var ticks = ticksUntil(t, now);
    if (ticks < 0) {
      cell(row, column, "abgelaufen", WHITE);
    } else {
      cell(row, column, String(ticks), ticks <= 1 ? WARNING : null);
    }
    cell(row, column + 1, clockText(t, false));
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

  function select(kind, row, entry, help) {
    var table = row.parentNode;
    for (var i = 0; i < table.children.length; i++) {
      table.children[i].classList.toggle("gewaehlt", table.children[i] === row);
    }
    if (HELP[kind][help]) {
      document.getElementById("hinweis-" + LISTS[kind]).textContent =
          description(kind, entry, help);
    }
  }

  function entryRow(kind, entry, now) {
    var row = document.createElement("tr");
    var help = arrivedHelp(kind, entry, now);
    var status = HELP[kind][help];
    row.addEventListener("click", function () {
      select(kind, row, entry, help);
    });
    cell(row, 0, status ? status[0] : String(help), status ? status[1] : null);
    cell(row, 1, entry.Name);
    orNotGiven(row, 2, entry.Allianz);
    cell(row, 3, entry.Basis);
    pointsCell(row, 4, entry.Punkte);
    cell(row, 5, String(entry.Schiffe));
    var mission = MISSIONS[entry.Modus];
    cell(row, 6, mission ? mission[0] : String(entry.Modus), mission ? mission[1] : null);
    cell(row, 7, entry.ZielName);
    orNotGiven(row, 8, entry.ZielAllianz);
    cell(row, 9, entry.ZielBasis);
    pointsCell(row, 10, entry.ZielPunkte);
    if (entry.ZielZeit === null) {
      cell(row, 11, NOT_GIVEN, null, NOT_GIVEN_COLOR);
      cell(row, 12, NOT_GIVEN, null, NOT_GIVEN_COLOR);
    } else {
      countdownCells(row, 11, entry.ZielZeit, now);
    }
    countdownCells(row, 13, entry.BasisZeit, now);
    cell(row, 15, clockText(entry.UpdateZeit, true));
    if (kind === 1) {
      var differs = lowerLatin1(entry.Von) !== lowerLatin1(entry.ZielName);
      cell(row, 16, entry.Von, differs ? WARNING : null);
    }
    return row;
  }

  function listTable(kind, entries, now) {
    var columns = kind === 1 ? 17 : 16;
    var table = document.createElement("table");
    var head = document.createElement("thead");
    var headRow = document.createElement("tr");
    for (var c = 0; c < columns; c++) {
      var th = document.createElement("th");
      th.textContent = COLUMNS[c];
      headRow.appendChild(th);
    }
    head.appendChild(headRow);
    table.appendChild(head);
    var body = document.createElement("tbody");
    var rows = entries.slice();
    sortByReturnTicks(rows, now);
    rows.forEach(function (entry) {
      body.appendChild(entryRow(kind, entry, now));
    });
    if (rows.length === 0) {
      var empty = document.createElement("tr");
      var td = document.createElement("td");
      td.colSpan = columns;
      td.className = "leer";
      td.textContent = "keine Eintr\u00e4ge";
      empty.appendChild(td);
      body.appendChild(empty);
    }
    table.appendChild(body);
    return table;
  }

  function render() {
    if (!lists) {
      return;
    }
    var now = nowSeconds();
    shownSlot = Math.floor(now / TICK);
    LISTS.forEach(function (id, kind) {
      var place = document.getElementById("liste-" + id);
      place.replaceChildren(listTable(kind, lists[id] || [], now));
    });
    document.body.setAttribute("data-gezeigt", String(now));
  }

  function setStatus(text) {
    document.getElementById("status").textContent = text;
  }

  function load() {
    setStatus("Status: warte auf Antwort");
    fetch("/api/lists", {credentials: "same-origin", cache: "no-store"}).then(function (answer) {
      if (answer.status === 401) {
        window.location.assign("/");
        return null;
      }
      if (!answer.ok) {
        throw new Error(String(answer.status));
      }
      return answer.json();
    }).then(function (data) {
      if (!data) {
        return;
      }
      lists = data.lists;
      render();
      document.getElementById("aktualisiert").textContent =
          "letzte Aktualisierung: " + clockText(nowSeconds(), true);
      setStatus("Status: Fertig!");
    }).catch(function () {
      setStatus("Status: Fehler!");
    });
  }

  // The countdowns follow each new 20-minute slot between two downloads.
  function followTicks() {
    if (lists && Math.floor(nowSeconds() / TICK) !== shownSlot) {
      render();
    }
  }

  document.addEventListener("DOMContentLoaded", function () {
    load();
    window.setInterval(load, REFRESH_MS);
    window.setInterval(followTicks, 5000);
  });
})();
