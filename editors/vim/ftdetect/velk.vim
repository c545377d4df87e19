" Files of VELK scripts.
autocmd BufRead,BufNewFile *.VELK,*.velk setfiletype velk
