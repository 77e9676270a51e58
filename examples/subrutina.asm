; subrutina.asm - a loop that calls a subroutine five times; the subroutine itself calls
; another one twice, so two levels of the return stack are in use.
; Ends at `done` with total = W = 0Ah.
        LIST    P=16F84
        #include <p16f84.inc>
        __CONFIG _CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC

        cblock  0x0C
        total
        loops
        endc

        org     0
start   clrf    total
        movlw   D'5'
        movwf   loops
again   call    twice
        decfsz  loops,F
        goto    again
        movf    total,W
done    goto    done

; Adds 2 to total.
twice   call    addone
        call    addone
        return

addone  incf    total,F
        return
        end
