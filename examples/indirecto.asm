; indirecto.asm - indirect addressing through FSR and INDF: fills the 16 bytes at 20h..2Fh
; with 16, 15, ..., 1 and then adds them up.
; Ends at `done` with sum = W = 88h (136).
        LIST    P=16F84
        #include <p16f84.inc>
        __CONFIG _CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC

BLOCK   equ     0x20
LENGTH  equ     D'16'

        cblock  0x0C
        sum
        n
        endc

        org     0
start   movlw   BLOCK
        movwf   FSR
        movlw   LENGTH
        movwf   n
store   movf    n,W
        movwf   INDF            ; the byte FSR points at
        incf    FSR,F
        decfsz  n,F
        goto    store

        clrf    sum
        movlw   BLOCK
        movwf   FSR
        movlw   LENGTH
        movwf   n
accum   movf    INDF,W
        addwf   sum,F
        incf    FSR,F
        decfsz  n,F
        goto    accum
        movf    sum,W
done    goto    done
        end
