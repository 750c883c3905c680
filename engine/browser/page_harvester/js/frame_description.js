// For a frame element: whether this page may read its document, and the
// names a person could know it by.
el => {
  let readable = false;
  try {
    readable = !!el.contentDocument;
  } catch (e) {
    readable = false;
  }
  return { readable, name: lib.wf(el.getAttribute('name') || ''), id: lib.wf(el.getAttribute('id') || ''),
    src: lib.wf(el.src || el.getAttribute('src') || '') };
}
