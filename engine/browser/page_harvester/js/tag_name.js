el => el.tagName.toLowerCase()
