; timer0.asm - Timer0 on the instruction clock through the prescaler at 1:8. The program
; clears TMR0 and polls its value until it passes 9, three times over (the overflow flag is
; not used: the program only reads the timer).
; Ends at `done` with ticks = 3.
        LIST    P=16F84
        #include <p16f84.inc>
        __CONFIG _CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC

        cblock  0x0C
        ticks
        endc

        org     0
start   bsf     STATUS,RP0
        movlw   B'11000010'     ; T0CS = 0: instruction clock; PSA = 0, PS = 010: 1:8
        movwf   OPTION_REG
        bcf     STATUS,RP0
        clrf    ticks
again   clrf    TMR0
poll    movf    TMR0,W
        sublw   D'9'            ; C clear once TMR0 > 9
        btfsc   STATUS,C
        goto    poll
        incf    ticks,F
        movlw   D'3'
        xorwf   ticks,W
        btfss   STATUS,Z
        goto    again
done    goto    done
        end
