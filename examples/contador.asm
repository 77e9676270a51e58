; contador.asm - counts from 1 to 15 on PORTB, whose eight pins are all outputs.
; Ends at `done` with PORTB = 0Fh.
        LIST    P=16F84
        #include <p16f84.inc>
        __CONFIG _CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC

        cblock  0x0C
        count
        endc

        org     0
start   bsf     STATUS,RP0
        clrf    TRISB           ; PORTB: all pins outputs
        bcf     STATUS,RP0
        clrf    PORTB
        clrf    count
next    incf    count,F
        movf    count,W
        movwf   PORTB           ; the pins show the count
        xorlw   D'15'
        btfss   STATUS,Z
        goto    next
done    goto    done
        end
