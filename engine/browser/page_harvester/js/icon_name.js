// The name of the icon a control shows when it shows no text of its own,
// or null; `controls` is the selector of the controls a page is read for.
(el, controls) => lib.iconName(el, lib.innerText(el), controls)
