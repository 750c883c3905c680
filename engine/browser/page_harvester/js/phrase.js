el => lib.isPhrase(el)
