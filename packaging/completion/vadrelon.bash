# bash completion for vadrelon                                     -*- shell-script -*-

_vadrelon_commands=(list status set assign footswitch bypass store preset tuning instrument midi
    bypass-storage algorithm upgrade eeprom coeff check-update help)
_vadrelon_parameters=("Dry" "Sub Mix" "-1 Oct" "-2 Oct" "Wave" "Low Pass" "High Pass" "1st Harmonic"
    "Split" "Range" "Input Level" "1st Harmonic Pitch" "Wave Clip" "Dominant Notes Cut"
    "High Notes Cut" "Dry HPF")

# Offers the words that begin with what is typed, in any case. A name with blanks is offered as
# the shell must read it: in the quotes the player opened, or with its blanks escaped.
_vadrelon_offer()
{
    local cur=$1 word quote= typed
    shift
    typed=${cur//\\/}
    if [[ $cur == [\"\']* ]]; then
        quote=${cur:0:1}
        typed=${cur:1}
    fi
    for word in "$@"; do
        [[ ${word,,} == "${typed,,}"* ]] || continue
        if [[ -n $quote ]]; then
            COMPREPLY+=("$quote$word$quote")
        else
            COMPREPLY+=("$(printf '%q' "$word")")
        fi
    done
}

_vadrelon_files()
{
    compopt -o filenames 2>/dev/null
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$1")
}

# A word as the command reads it, without the quotes or escapes the shell would take away.
_vadrelon_unquoted()
{
    local word=$1
    word=${word#[\"\']}
    word=${word%[\"\']}
    printf '%s' "${word//\\/}"
}

_vadrelon()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()

    case $prev in
        --serial)
            local serials
            mapfile -t serials < <(vadrelon list 2>/dev/null | cut -f1)
            _vadrelon_offer "$cur" "${serials[@]}"
            return
            ;;
        --port)
            mapfile -t COMPREPLY < <(compgen -f -- "${cur:-/dev/tty}")
            return
            ;;
        -o | --output)
            _vadrelon_files "$cur"
            return
            ;;
        --address)
            _vadrelon_offer "$cur" 50 51
            return
            ;;
        --gain | --q | --firmware-version)
            return
            ;;
    esac

    # The command's words so far, options and their values left out.
    local i words=() word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --serial | --port | -o | --output | --address | --gain | --q | --firmware-version) ((i++)) ;;
            -?*) ;;
            *) words+=("$(_vadrelon_unquoted "$word")") ;;
        esac
    done

    if [[ $cur == -?* ]]; then
        _vadrelon_offer "$cur" --serial --port --yes --json --trace --help --version --output --address \
            --gain --q --firmware-version --match
        return
    fi

    local command=${words[0],,} count=${#words[@]}
    if ((count == 0)); then
        _vadrelon_offer "$cur" "${_vadrelon_commands[@]}"
        return
    fi
    case $command in
        help)
            ((count == 1)) && _vadrelon_offer "$cur" "${_vadrelon_commands[@]}"
            ;;
        set)
            if ((count == 1)); then
                _vadrelon_offer "$cur" "${_vadrelon_parameters[@]}"
            elif ((count == 2)); then
                case ${words[1],,} in
                    wave | split | "dominant notes cut" | "high notes cut") _vadrelon_offer "$cur" on off ;;
                    "1st harmonic pitch") _vadrelon_offer "$cur" -12 -6 -5 -4 -3 -2 -1 0 +1 +2 +3 +4 +5 +6 +7 +12 ;;
                esac
            fi
            ;;
        assign)
            if ((count == 1)); then
                _vadrelon_offer "$cur" I II III IV remote
            elif ((count == 2)); then
                case ${words[1],,} in
                    i | ii) _vadrelon_offer "$cur" "Input Level" "1st Harmonic Pitch" "Wave Clip" "Dry HPF" none ;;
                    iii | iv) _vadrelon_offer "$cur" "Dominant Notes Cut" "High Notes Cut" none ;;
                    remote) _vadrelon_offer "$cur" bypass preset none ;;
                esac
            fi
            ;;
        footswitch)
            if ((count % 2 == 1 && count < 5)); then
                _vadrelon_offer "$cur" short long
            elif ((count < 5)); then
                _vadrelon_offer "$cur" bypass preset
            fi
            ;;
        bypass | bypass-storage)
            ((count == 1)) && _vadrelon_offer "$cur" on off
            ;;
        instrument)
            ((count == 1)) && _vadrelon_offer "$cur" guitar bass
            ;;
        midi)
            ((count == 1)) && _vadrelon_offer "$cur" omni {1..16}
            ;;
        preset)
            if ((count == 1)); then
                _vadrelon_offer "$cur" save load list
            elif ((count == 2)) && [[ ${words[1]} != list ]]; then
                _vadrelon_files "$cur"
            fi
            ;;
        tuning)
            if ((count == 1)); then
                _vadrelon_offer "$cur" set upload
            elif [[ ${words[1]} == set ]] && ((count == 2)); then
                _vadrelon_offer "$cur" {0..8}
            elif [[ ${words[1]} == set ]] && ((count == 3)); then
                _vadrelon_offer "$cur" -5 -4 -3 -2 -1 0 +1 +2 +3
            fi
            ;;
        algorithm)
            if ((count == 1)); then
                _vadrelon_offer "$cur" upload
            elif ((count == 2)); then
                _vadrelon_files "$cur"
            fi
            ;;
        upgrade)
            ((count == 1)) && _vadrelon_files "$cur"
            ;;
        eeprom)
            ((count == 1)) && _vadrelon_offer "$cur" read erase
            ;;
        coeff)
            if ((count == 1)); then
                # A1 to G#5; the octave's number changes at C.
                local notes=() names=(A A# B C C# D D# E F F# G G#) n
                for ((n = 0; n < 48; n++)); do
                    notes+=("${names[n % 12]}$((1 + (n + 9) / 12))")
                done
                _vadrelon_offer "$cur" "${notes[@]}"
            fi
            ;;
    esac
}

complete -F _vadrelon vadrelon
