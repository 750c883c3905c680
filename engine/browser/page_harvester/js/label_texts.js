el => lib.labelTexts(el)
