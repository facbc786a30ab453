// Sorting of the site's tables in browsers without element behaviours: a
// table with class "sortable" sorts its body rows by a header cell when the
// cell is clicked, a second click reverses the order. data-sort-column and
// data-sort-descending give the order the page opens with. Cells compare as
// the site writes them: sizes ("1.2Mb", "<dir>" first), numbers grouped
// with ".", dates day-month-year, else text without letter case.
(function () {
  var units = { kb: 1, mb: 1024, gb: 1048576, tb: 1073741824 };
  function cellText(row, i) {
    var cell = row.cells[i];
    return cell ? (cell.textContent || cell.innerText || "").replace(/\u00a0/g, " ").trim() : "";
  }
  function key(text) {
    var m;
    if (text === "<dir>") return [0, -1];
    if ((m = /^<?\s*([\d.]+)\s*(kb|mb|gb|tb)$/i.exec(text))) return [0, parseFloat(m[1]) * units[m[2].toLowerCase()]];
    if (/^\d{1,3}(\.\d{3})+$/.test(text)) return [0, parseFloat(text.replace(/\./g, ""))];
    if ((m = /^(\d\d)-(\d\d)-(\d{4})$/.exec(text))) return [0, parseFloat(m[3] + m[2] + m[1])];
    if (/^-?\d+(\.\d+)?$/.test(text)) return [0, parseFloat(text)];
    return [1, text.toLowerCase()];
  }
  function compare(a, b) {
    if (a[0] != b[0]) return a[0] - b[0];
    return a[1] < b[1] ? -1 : (a[1] > b[1] ? 1 : 0);
  }
  function sortTable(table, column, descending) {
    var body = table.tBodies[0];
    if (!body) return;
    var rows = [], fixed = [];
    for (var i = 0; i < body.rows.length; i++) {
      var row = body.rows[i];
      // The ".." row keeps its place at the top.
      if (cellText(row, 0) === "..") fixed.push(row); else rows.push({ row: row, key: key(cellText(row, column)), index: i });
    }
    rows.sort(function (x, y) {
      var r = compare(x.key, y.key);
      if (descending) r = -r;
      return r || x.index - y.index;
    });
    for (var f = 0; f < fixed.length; f++) body.appendChild(fixed[f]);
    for (var j = 0; j < rows.length; j++) body.appendChild(rows[j].row);
    table.setAttribute("data-sorted-column", column);
    table.setAttribute("data-sorted-descending", descending ? "1" : "0");
  }
  function attach(table) {
    if (table.getAttribute("data-sort-attached")) return;
    table.setAttribute("data-sort-attached", "1");
    var head = table.tHead;
    if (!head || !head.rows.length) return;
    var cells = head.rows[head.rows.length - 1].cells;
    for (var i = 0; i < cells.length; i++) {
      (function (column) {
        cells[column].style.cursor = "pointer";
        cells[column].onclick = function () {
          var same = table.getAttribute("data-sorted-column") == String(column);
          var descending = same && table.getAttribute("data-sorted-descending") !== "1";
          sortTable(table, column, descending);
        };
      })(i);
    }
    var start = table.getAttribute("data-sort-column");
    if (start !== null) sortTable(table, parseInt(start, 10), table.getAttribute("data-sort-descending") === "1");
  }
  function attachAll() {
    var tables = document.getElementsByTagName("table");
    for (var i = 0; i < tables.length; i++) {
      if ((" " + tables[i].className + " ").indexOf(" sortable ") >= 0) attach(tables[i]);
    }
  }
  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", attachAll);
  else attachAll();
})();
