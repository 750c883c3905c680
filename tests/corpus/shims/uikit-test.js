// Stands in for UIkit's tests/js/test.js, which the package does not ship (it
// is built from UIkit's sources). The original also adds a bar for switching
// test pages and themes; this one only loads what a page needs to work: the
// built theme stylesheet and the scripts from the package's dist/ folder.
document.writeln('<link rel="stylesheet" href="../dist/css/uikit.css">');
document.writeln('<script src="../dist/js/uikit.js"></script>');
document.writeln('<script src="../dist/js/uikit-icons.js"></script>');
