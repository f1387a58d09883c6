// Reports, once, that the document of this page or frame has loaded: a
// console line of the window's token and the document's address. Runs in
// the window's own script world from the moment the document is created,
// before any of the page's scripts and before the page has any element that
// could stand in for a property used here, so its load listener comes first:
// a page that keeps its load event from other listeners does so after this
// one has heard it. A document whose load never ends (an image that never
// arrives) is reported a while after its content has been read.
//
// Called with the token and that while in milliseconds.
(function (token, fallbackMilliseconds) {
  'use strict';
  var reported = false;
  function report() {
    if (reported) {
      return;
    }
    reported = true;
    console.log(token + location.href);
  }
  window.addEventListener('load', report, true);
  document.addEventListener('DOMContentLoaded', function () {
    setTimeout(report, fallbackMilliseconds);
  }, true);
  if (document.readyState === 'complete') {
    report();
  }
})
