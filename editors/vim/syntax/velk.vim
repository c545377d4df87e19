" Vim syntax file
" Language: VELK, the line-oriented scripting language velk runs
" A keyword counts only as the first token of a statement; the language has
" no comments, and its strings have no escapes.

if exists("b:current_syntax")
  finish
endif

syn match velkOperator "[-+*/]=\|==\|!=\|>=\|<=\|->\|[-+*/<>=]"
syn match velkLogic "\%(^\|[ \t(]\)\@<=\%(and\|or\|not\)\%([ \t)]\|$\)\@="
syn match velkNumber "\%([[:alnum:]_$.]\)\@<!-\=\d\+\%(\.\d\+\)\=\%([[:alnum:]_.]\)\@!"
syn match velkSpecial "\%([[:alnum:]_$]\)\@<!\%(element\|arg\d\+\)\>"
syn match velkKeyword "\%(\%(^\|{\)\s*\)\@<=\%(compare\|each\|until\|end\|add\|remove\|list\|where\|index\|exec\|also\|class\)\%(\s\|}\|$\)\@="

" Calls: $name, then $( before the arguments and $L( before the import list.
syn match velkCall "\$[^$(){}\"' \t]\+"
syn match velkBuiltin "\$\%(print\|input\|size\|turn\|str\|int\|float\|func\|list\|werhatdasgemacht\|encodelist\|decodelist\|typeof\|readfile\|writefile\|readbinfile\|writebinfile\|mkdir\|rm\|listdir\|exists\|cd\|isdir\|base64encode\|base64decode\|setargmap\|whereami\|bytes\|encodebytes\|decodebytes\|beep\)\%([$() \t]\|$\)\@="
syn match velkCallDelim "\$("me=e-1
syn match velkImport "\$L("me=e-1

syn match velkBrace "[{}]"
syn match velkParen "[()]"
syn region velkString start=+"+ end=+"+
syn region velkString start=+'+ end=+'+

syn sync minlines=200

hi def link velkKeyword Statement
hi def link velkOperator Operator
hi def link velkLogic Operator
hi def link velkNumber Number
hi def link velkSpecial Identifier
hi def link velkCall Function
hi def link velkBuiltin Function
hi def link velkCallDelim Delimiter
hi def link velkImport Special
hi def link velkBrace Special
hi def link velkParen Delimiter
hi def link velkString String

let b:current_syntax = "velk"
