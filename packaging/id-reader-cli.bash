# bash completion for id-reader-cli.
#
# The options are read from the program's own --help at completion time, so
# the completion always matches the installed version. An option whose value
# is a file (its help names FILE, PATH or DIR, or the option is one of the
# scan/output kind) completes file names; any other option's value gets no
# suggestions; words that are not options are sheets, so they complete as files.

# Prints one line per option in a help text: "file NAME", "value NAME" or
# "flag NAME". Option lines start with blanks and a dash; their first column
# ends at the first run of two blanks (the description follows).
_id_reader_cli_options() {
    awk '
    /^[ \t]+-/ {
        optdesc = $0
        sub(/^[ \t]+/, "", optdesc)
        if (match(optdesc, /  +|\t/)) optdesc = substr(optdesc, 1, RSTART - 1)
        n = split(optdesc, token, /[ ,=]+/)
        kind = "flag"; names = ""
        for (k = 1; k <= n; k++) {
            if (token[k] ~ /^-/) names = names " " token[k]
            else if (token[k] ~ /FILE|PATH|DIR/) kind = "file"
            else if (token[k] != "" && kind == "flag") kind = "value"
        }
        if (kind == "value" && names ~ /scan|output|save|picture|file/) kind = "file"
        m = split(names, name, " ")
        for (k = 1; k <= m; k++) print kind, name[k]
    }'
}

_id_reader_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--option=value": bash splits at "=", giving "--option" "=" "value".
    if [[ $cur == "=" ]]; then
        cur=""
    elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    local table
    table=$("${COMP_WORDS[0]}" --help 2>/dev/null | _id_reader_cli_options)

    local kind
    kind=$(awk -v opt="$prev" '$2 == opt { print $1; exit }' <<<"$table")
    case $kind in
        file)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
            ;;
        value)
            COMPREPLY=()
            return 0
            ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(awk '{ print $2 }' <<<"$table")" -- "$cur")
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

complete -F _id_reader_cli id-reader-cli
