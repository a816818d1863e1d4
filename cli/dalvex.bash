# bash completion for dalvex                                  -*- shell-script -*-

_dalvex() {
    local cur prev words cword
    _init_completion || return

    local records="setting user gprs mobile-link gps-upload wifi wifi-ap cms rk20 config"
    local camera_opts="--letter --all --password-fd --audit --help"
    local command="" sub="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ -z $sub ]]; then
                    sub=${words[i]}
                fi
                ;;
        esac
    done

    case $prev in
        --letter | -l)
            COMPREPLY=($(compgen -W "{C..Z}" -- "$cur"))
            return
            ;;
        --format | -f)
            COMPREPLY=($(compgen -W "text json gpx kml csv geojson" -- "$cur"))
            return
            ;;
        --out-dir | --to | --from | --archive)
            _filedir -d
            return
            ;;
        -o | --output | --audit | --textfile)
            _filedir
            return
            ;;
        --jobs | -j | --password-fd | --secret-fd)
            return
            ;;
    esac

    case $command in
        "")
            COMPREPLY=($(compgen -W "list get set apply time format reboot storage password offload
                verify metrics gps --json --verbose --help" -- "$cur"))
            ;;
        list)
            COMPREPLY=($(compgen -W "--help" -- "$cur"))
            ;;
        get)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "all $records $camera_opts" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "--show-secrets $camera_opts" -- "$cur"))
            fi
            ;;
        set)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "$records" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "--secret-fd $camera_opts" -- "$cur"))
            fi
            ;;
        apply)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--dry-run $camera_opts" -- "$cur"))
            else
                _filedir json
            fi
            ;;
        time)
            COMPREPLY=($(compgen -W "${sub:+$camera_opts}${sub:-sync}" -- "$cur"))
            ;;
        format)
            COMPREPLY=($(compgen -W "--yes $camera_opts" -- "$cur"))
            ;;
        reboot)
            COMPREPLY=($(compgen -W "$camera_opts" -- "$cur"))
            ;;
        storage)
            COMPREPLY=($(compgen -W "${sub:+$camera_opts}${sub:-expose release}" -- "$cur"))
            ;;
        password)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "change" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "login browse user admin $camera_opts" -- "$cur"))
            fi
            ;;
        offload)
            COMPREPLY=($(compgen -W "--to --from --keep-exposed --letter --all --password-fd --audit
                --help" -- "$cur"))
            ;;
        verify)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--help" -- "$cur"))
            else
                _filedir -d
            fi
            ;;
        metrics)
            COMPREPLY=($(compgen -W "--textfile --archive --help" -- "$cur"))
            ;;
        gps)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--format --output --out-dir --jobs --merge --help" \
                    -- "$cur"))
            else
                _filedir
            fi
            ;;
    esac
} &&
    complete -F _dalvex dalvex
