// Looks into, or writes, the form "frmConfig" of a completed page or frame.
//
// Called with the operation ("inspect" or "write"), the address of the
// completed document and the operation's data: for "inspect" the names of
// the preset fields, for "write" the values to put in ({name, index,
// value}). Answers a JSON text whose "reached" says how far it got:
// "replaced" (no frame shows that address any more), "no-browser",
// "no-document", "no-forms", "no-form", or "form"; "inspect" adds the
// number of the form's elements and, per field, whether the form has an
// element of that name, the first one's type and (a select) its options.
//
// Page elements named like a property of the document ("forms") or of the
// form ("elements", "namedItem") shadow that property, so everything is read
// through the prototypes of the DOM's own interfaces. The page's scripts
// live in another world and cannot change those.
(function (operation, url, data) {
  'use strict';
  function getter(prototype, name) {
    return Object.getOwnPropertyDescriptor(prototype, name).get;
  }
  function setter(prototype, name) {
    return Object.getOwnPropertyDescriptor(prototype, name).set;
  }
  function kind(object) {
    return Object.prototype.toString.call(object);
  }
  var formsOf = getter(Document.prototype, 'forms');
  var elementsOf = getter(HTMLFormElement.prototype, 'elements');
  var lengthOf = getter(HTMLCollection.prototype, 'length');
  var namedForm = HTMLCollection.prototype.namedItem;
  var namedElement = HTMLFormControlsCollection.prototype.namedItem;
  var firstOf = NodeList.prototype.item;
  var optionsOf = getter(HTMLSelectElement.prototype, 'length');

  // The window below `w` whose document has the address; frames of another
  // origin cannot be looked into and are only passed through.
  function find(w) {
    try {
      if (w.location.href === url) {
        return w;
      }
    } catch (e) {
    }
    for (var i = 0; i < w.frames.length; ++i) {
      var found = find(w.frames[i]);
      if (found) {
        return found;
      }
    }
    return null;
  }
  // The first element of a name (a name held by several gives a list).
  function element(elements, name) {
    var item = namedElement.call(elements, name);
    return kind(item) === '[object RadioNodeList]' ? firstOf.call(item, 0) : item;
  }
  function answer(reached, extra) {
    var result = extra || {};
    result.reached = reached;
    return JSON.stringify(result);
  }

  var frame;
  try {
    frame = find(window);
  } catch (e) {
    return answer('no-browser');
  }
  if (!frame) {
    return answer('replaced');
  }
  var doc;
  try {
    doc = frame.document;
  } catch (e) {
    return answer('no-document');
  }
  if (!doc) {
    return answer('no-document');
  }
  var forms;
  try {
    forms = formsOf.call(doc);
  } catch (e) {
    return answer('no-forms');
  }
  if (!forms) {
    return answer('no-forms');
  }
  var form;
  var elements;
  try {
    form = namedForm.call(forms, 'frmConfig');
    if (kind(form) !== '[object HTMLFormElement]') {
      return answer('no-form');
    }
    elements = elementsOf.call(form);
  } catch (e) {
    return answer('no-form');
  }

  // A form that cannot be read or written is as good as none.
  try {
    if (operation === 'inspect') {
      var report = {elementCount: lengthOf.call(elements), elements: []};
      data.forEach(function (name) {
        var el = element(elements, name);
        if (!el) {
          report.elements.push({exists: false, type: '', options: 0});
          return;
        }
        var select = kind(el) === '[object HTMLSelectElement]';
        report.elements.push({
          exists: true,
          type: String(el.type),
          options: select ? optionsOf.call(el) : 0
        });
      });
      return answer('form', report);
    }

    // Properties, not attributes: an attribute only changes the default a
    // form is reset to. No change or input events fire.
    var setIndex = setter(HTMLSelectElement.prototype, 'selectedIndex');
    var setText = setter(HTMLInputElement.prototype, 'value');
    data.forEach(function (write) {
      var el = element(elements, write.name);
      if (!el) {
        return;
      }
      if (write.index) {
        if (kind(el) === '[object HTMLSelectElement]') {
          setIndex.call(el, parseInt(write.value, 10));
        }
      } else if (kind(el) === '[object HTMLInputElement]') {
        setText.call(el, write.value);
      }
    });
    return answer('form');
  } catch (e) {
    return answer('no-form');
  }
})
