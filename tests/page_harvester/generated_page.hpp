#pragma once
// A generated page of mixed content, about `blocks` * 10 elements: hidden
// and zero-size elements, nested text, labelled fields, custom controls,
// pointer cursors, display: contents, visibility: hidden, disabled
// fieldsets, aria-disabled, shadow roots and SVG. Shared by the
// differential test and the extraction benchmark.
#include <string>

namespace plainstep::testing {

inline std::string generated_page(int blocks) {
  std::string h =
      "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Generated</title><style>"
      "body{font:14px sans-serif} .click{cursor:pointer} .vh{visibility:hidden} .none{display:none}"
      ".contents{display:contents} .zero{display:inline-block;width:0;height:0;overflow:hidden}"
      ".card{display:inline-block;width:300px;margin:4px;vertical-align:top;border:1px solid #ccc}"
      ".field-input{display:inline-block;min-width:80px;min-height:16px;border:1px solid #999}"
      "</style></head><body>\n";
  for (int i = 0; i < blocks; ++i) {
    std::string n = std::to_string(i);
    switch (i % 10) {
      case 0:
        h += "<div class=\"card\"><h3>Section " + n + "</h3><p>Intro <b>bold " + n +
             "</b> text</p><ul><li><span>Item " + n + "a</span></li><li>Item " + n + "b</li></ul></div>\n";
        break;
      case 1:
        h += "<div class=\"card\"><label for=\"f" + n + "\">Field " + n + "</label><input id=\"f" + n +
             "\" name=\"f" + n + "\" data-row=\"" + n + "\"><span id=\"l" + n + "\">Caption " + n +
             "</span><input aria-labelledby=\"l" + n + " f" + n + "\"></div>\n";
        break;
      case 2:
        h += "<div class=\"card\"><fieldset disabled><legend>Group " + n + "</legend><button>Off " + n +
             "</button><input placeholder=\"Disabled " + n + "\"></fieldset><div aria-disabled=\"true\">"
             "<a href=\"#a" + n + "\">Link " + n + "</a></div></div>\n";
        break;
      case 3:
        h += "<div class=\"card\"><div class=\"click\">Open " + n + "</div><span class=\"click\">Tag " + n +
             "</span><li class=\"click\"><i>x</i><i>y</i> Row " + n + "</li></div>\n";
        break;
      case 4:
        h += "<div class=\"card\"><span>Notes " + n + "</span><div class=\"field-input\" contenteditable>"
             "</div><span class=\"note-editable vh\">hidden " + n + "</span></div>\n";
        break;
      case 5:
        h += "<div class=\"card\"><div class=\"contents\" data-testid=\"c" + n + "\"><span>In contents " + n +
             "</span></div><button class=\"vh\" aria-label=\"Hidden named " + n + "\">h</button>"
             "<button class=\"vh\">Hidden " + n + "</button><a class=\"zero\" href=\"#z\">Zero " + n +
             "</a></div>\n";
        break;
      case 6:
        h += "<div class=\"card\"><table><tr><th>Price " + n + "</th><td>" + n + ".50</td><td>   </td></tr>"
             "</table><p class=\"none\">Gone " + n + "</p></div>\n";
        break;
      case 7:
        h += "<div class=\"card\"><svg width=\"30\" height=\"30\" data-testid=\"s" + n + "\"><a href=\"#s\">"
             "<text x=\"2\" y=\"20\">svg</text></a></svg><img alt=\"Picture " + n + "\" width=\"10\" "
             "height=\"10\" src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\"><div role=\"button\" "
             "class=\"click\">Role " + n + "</div></div>\n";
        break;
      case 8:
        h += "<div class=\"card\"><div class=\"host\" data-n=\"" + n + "\"></div><select><option>One " + n +
             "</option></select><textarea title=\"Comment " + n + "\"></textarea></div>\n";
        break;
      default:
        h += "<div class=\"card\"><div>Total: <span>" + n + "</span></div><div><span>Yes</span> "
             "<span>No</span></div><label><span data-testid=\"agree" + n + "\">Agree</span>"
             "<input type=\"checkbox\" disabled></label></div>\n";
    }
  }
  h += "<script>for (const host of document.querySelectorAll('.host')) {"
       " const root = host.attachShadow({mode: 'open'});"
       " root.innerHTML = '<button data-testid=\"shadow' + host.dataset.n + '\">Shadow ' + host.dataset.n +"
       " '</button><span>Inside ' + host.dataset.n + '</span>'; }</script>\n";
  return h + "</body></html>\n";
}

}  // namespace plainstep::testing
