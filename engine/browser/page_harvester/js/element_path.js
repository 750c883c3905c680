el => {
  const steps = [];
  let node = el;
  while (node && node.nodeType === 1) {
    let n = 1;
    for (let sib = node.previousElementSibling; sib; sib = sib.previousElementSibling)
      if (sib.tagName === node.tagName) n++;
    steps.unshift(node.tagName.toLowerCase() + '[' + n + ']');
    node = node.parentNode;
  }
  return '/' + steps.join('/');
}
