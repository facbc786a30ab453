#include "query/page_scripts.h"

#include "query/escape.h"

namespace tellwen::query {

namespace {

// Cookies and the search form. The form is found by its id "kivform"; the
// controls by their names inside it.
constexpr const char* kFormScript = R"js(
function setCookie(name, value) {
  var expires = new Date();
  expires.setTime(expires.getTime() + 30 * 24 * 60 * 60 * 1000);
  document.cookie = name + '=' + escape(value) + '; expires=' + expires.toGMTString() + '; path=/';
}
function getCookie(name, def) {
  var parts = document.cookie ? document.cookie.split(';') : [];
  for (var i = 0; i < parts.length; i++) {
    var part = parts[i].replace(/^\s+/, '');
    var eq = part.indexOf('=');
    if (eq > 0 && part.substring(0, eq) == name) return unescape(part.substring(eq + 1));
  }
  return def;
}
function kivForm() { return document.getElementById('kivform'); }
function kivFlag(s, i) { return s.length > i && s.charAt(i) == '1'; }
function kivIndex(s, i, def) { return s.length > i ? s.charCodeAt(i) - 48 : def; }
function kivSelect(list, index) {
  if (list && index >= 0 && index < list.options.length) list.selectedIndex = index;
}
function kivBit(box) { return box && box.checked ? '1' : '0'; }
function kivChar(list) {
  return String.fromCharCode(48 + (list && list.selectedIndex > 0 ? list.selectedIndex : 0));
}
function LoadSettings() {
  var f = kivForm();
  if (!f || getCookie('settings', null) == null) return;
  var s = getCookie('settings', '00141100');
  f.shares.checked = kivFlag(s, 0);
  f.dirs.checked = kivFlag(s, 1);
  f.files.checked = kivFlag(s, 2);
  kivSelect(f.pagesize, kivIndex(s, 3, 2));
  kivSelect(f.searchkind, kivIndex(s, 4, 1));
  f.automaticping.checked = kivFlag(s, 5);
  f.alives.checked = kivFlag(s, 6);
  f.sizebetween.checked = kivFlag(s, 7);
  kivSelect(f.searchcategory, kivIndex(s, 8, 0));
  f.fromcategory.checked = kivFlag(s, 9);
  var units = getCookie('settings1', '11');
  kivSelect(f.sizeminunit, kivIndex(units, 0, 1));
  kivSelect(f.sizemaxunit, kivIndex(units, 1, 1));
  f.sizemin.value = getCookie('settings2', '0');
  f.sizemax.value = getCookie('settings3', 'max');
  f.search.value = getCookie('settings4', '');
}
function SaveSettings() {
  var f = kivForm();
  if (!f) return;
  var s = kivBit(f.shares) + kivBit(f.dirs) + kivBit(f.files) + kivChar(f.pagesize) +
          kivChar(f.searchkind) + kivBit(f.automaticping) + kivBit(f.alives) +
          kivBit(f.sizebetween) + kivChar(f.searchcategory) + kivBit(f.fromcategory);
  var units = kivChar(f.sizeminunit) + kivChar(f.sizemaxunit);
  setCookie('settings', s);
  setCookie('settings1', units);
  setCookie('settings2', f.sizemin.value);
  setCookie('settings3', f.sizemax.value);
  setCookie('settings4', f.search.value);
  if (getCookie('settings', '') == s && getCookie('settings1', '') == units &&
      getCookie('settings2', null) == f.sizemin.value &&
      getCookie('settings3', null) == f.sizemax.value &&
      getCookie('settings4', null) == f.search.value) {
    alert('Settings saved successful!');
  } else {
    alert('There was an error saving settings!');
  }
}
function toggleSize() {
  var f = kivForm();
  if (!f) return;
  var on = f.files.checked && f.sizebetween.checked;
  f.sizemin.disabled = !on;
  f.sizemax.disabled = !on;
  f.sizeminunit.disabled = !on;
  f.sizemaxunit.disabled = !on;
}
function checkstuff() {
  var f = kivForm();
  if (!f) return;
  f.sizebetween.disabled = !f.files.checked;
  f.fromcategory.disabled = !f.files.checked;
  f.searchcategory.disabled = !(f.files.checked && f.fromcategory.checked);
  var size = f.files.checked && f.sizebetween.checked;
  var category = f.files.checked && f.fromcategory.checked;
  f.shares.disabled = size || category;
  f.dirs.disabled = size || category;
  f.alives.disabled = !f.automaticping.checked;
  toggleSize();
}
function checkSearch() {
  var f = kivForm();
  if (f && f.search.value == '') {
    alert('Please enter your search string.');
    return false;
  }
  return true;
}
)js";

constexpr const char* kRelTimeScript = R"js(
function kivUnit(n, name) { return n + ' ' + name + (n > 1 ? 's' : ''); }
function getRelTime(autoping, ye, mo, da, ho, mi, se, toping, statu) {
  var click = 'Click here to ping computer "' + toping + '"';
  if (autoping == 0) return click;
  var pinged = new Date(ye, mo - 1, da, ho, mi, se);
  var age = Math.floor(((new Date() - timpucandvinepagina) + (timpullaserver - pinged)) / 1000);
  var text;
  if (age >= 86400) {
    text = 'more than a day';
  } else if (age >= 3600) {
    var minutes = Math.floor((age % 3600) / 60);
    text = kivUnit(Math.floor(age / 3600), 'hour') + ' and ' + minutes + ' minute' +
           (minutes != 1 ? 's' : '');
  } else if (age >= 600) {
    text = kivUnit(Math.floor(age / 60), 'minute');
  } else if (age >= 60) {
    text = kivUnit(Math.floor(age / 60), 'minute') + ' and ' + kivUnit(age % 60, 'second');
  } else if (age <= 0) {
    text = '0 seconds';
  } else {
    text = kivUnit(age, 'second');
  }
  var word = statu == 1 ? 'alive' : (statu == 2 ? 'dead' : 'unknown');
  return 'Was seen ' + word + ' ' + text + ' ago.\n' + click + ' now!';
}
)js";

}  // namespace

std::string PageScripts(const std::string& script_name, bool) {
  std::string text = "<script language='javascript'>";
  text += kFormScript;
  text += "function ping(image, computer) {\n  image.src = '" + JsEscape(script_name) +
          "?Command?search=&recordfrom=&recordto=&dowait=&stats=ping&path=' + "
          "escape(computer) + '&t=' + new Date().getTime();\n}\n";
  text += "</script>\n";
  return text;
}

std::string CountdownScript() {
  return "<script language='javascript'>\n"
         "var min = '05';\nvar sec = 0;\n"
         "function kivTwo(n) { n = '' + n; return n.length < 2 ? '0' + n : n; }\n"
         "function clock() {\n"
         "  var m = parseInt(min, 10);\n"
         "  if (sec == 0) { if (m > 0) { m = m - 1; sec = 59; } } else { sec = sec - 1; }\n"
         "  min = kivTwo(m);\n"
         "  var e = document.getElementById('ceasu');\n"
         "  if (e) e.innerHTML = kivTwo(m) + ':' + kivTwo(sec);\n"
         "  if (m == 0 && sec == 0) document.location.reload();\n"
         "}\n</script>\n";
}

std::string ClockScript(const std::tm& t) {
  return "<script language='javascript'>\nvar timpucandvinepagina = new Date();\n"
         "var timpullaserver = new Date(" +
         std::to_string(t.tm_year + 1900) + ", " + std::to_string(t.tm_mon) + ", " +
         std::to_string(t.tm_mday) + ", " + std::to_string(t.tm_hour) + ", " +
         std::to_string(t.tm_min) + ", " + std::to_string(t.tm_sec) + ");\n" + kRelTimeScript +
         "</script>\n<br>";
}

std::string RevealScript(int nav_count) {
  std::string text =
      "<script language='javascript'>\n"
      "function kivShow(id, how) { var e = document.getElementById(id); if (e) e.style.display = "
      "how; }\n"
      "kivShow('tdDisp', 'none');\n"
      "kivShow('quicklinks', '');\n"
      "kivShow('table1', '');\n"
      "kivShow('table2', '');\n"
      "kivShow('table3', '');\n";
  for (int i = 1; i <= nav_count; ++i) {
    text += "kivShow('tablenav" + std::to_string(i) + "', '');\n";
  }
  text += "</script>\n";
  return text;
}

std::string TitleScript(const std::string& title) {
  return "<script language='javascript'>document.title='KIV - " + title + "';</script>\n";
}

}  // namespace tellwen::query
