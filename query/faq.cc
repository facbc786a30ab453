#include "query/faq.h"

#include "query/escape.h"
#include "query/search.h"
#include "query/text_utils.h"

namespace tellwen::query {

std::string FaqBody(const std::string& admin_contact) {
  const std::pair<std::string, std::string> entries[] = {
      {"What characters may I use in the search box?",
       "You may use only " + HtmlEscape(kAllowedCharsMessage)},
      {"How can I search using all or any of the words from the search string?",
       "You can search ANY of the words (eg: '*.avi *.mpg *.dat' will match all files containing "
       ".avi, .mpg or .dat), containing ALL of the words (eg: 'fiction pulp' will match all rows "
       "containing the word 'pulp' and the word 'fiction', for example a correct match will be "
       "the file 'Pulp Fiction.avi'), search for a SUBSTRING (eg: 'unforgiven' will match any "
       "row containing exact string 'unforgiven', for example 'unforgiven.mp3' is a correct "
       "match) or even an EXACT PHRASE (eg: 'readme.txt' will match only 'readme.txt' files)."},
      {"What is 'automatic ping'?",
       "Using 'automatic ping' you'll get the most recent status (dead or alive) of every "
       "computer from the network."},
      {"How long does a query take to be processed?",
       "Query time is usually under 30 seconds, depending on the load of the server and the "
       "size of the database, but there is a timeout for a query at 3 minutes."},
      {"I search every day, every hour, every minute. Is this illegal?",
       "No, it's perfectly legal. You may use it for as many times as you need it. All actions "
       "are logged. Don't abuse or you'll get banned."},
      {"What browser should I use?",
       "This site is best viewed with Miscrosoft Internet Explorer. Click <a class=fa1 "
       "href=\"https://www.chromium.org/getting-involved/download-chromium/\">here</a> to "
       "download the latest version."},
      {"I can't find the answer to my question in this FAQ page. What should I do?",
       "For suggestions, complains or anything else don't hesitate to contact your <a class=fa1 "
       "href=\"" +
           HtmlAttrEscape(admin_contact) + "\">Tellwen administrator</a>."},
  };
  std::string text =
      "<p class=fas>frequently asked questions</p>"
      "<style>p.fas { font-family:Verdana, sans-serif; font-size:medium; font-weight:bold; "
      "margin-left:20pt; } td.fa, p.fa { font-family:Verdana, sans-serif; font-size:small; } "
      "a.fa1 { text-decoration:underline; color:blue; }</style>"
      "<table cellpadding=4 style=\"margin-left:20pt; margin-right:20pt;\">";
  for (const auto& [question, answer] : entries) {
    text += "<tr><td class=fa valign=top><b>Q:</b></td><td class=fa><b>" + HtmlEscape(question) +
            "</b></td></tr><tr><td class=fa valign=top>A:</td><td class=fa>" + answer +
            "</td></tr>";
  }
  text += "</table>";
  return text;
}

}  // namespace tellwen::query
