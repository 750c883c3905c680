// Stands in for the vendor.js Foundation's build concatenates for its test
// pages (jQuery, Motion UI, what-input): loads the same pinned packages' own
// dist files, in the same order.
document.writeln('<script src="/jquery@3.7.1/dist/jquery.js"></script>');
document.writeln('<script src="/motion-ui@2.0.8/dist/motion-ui.js"></script>');
document.writeln('<script src="/what-input@5.2.12/dist/what-input.js"></script>');
