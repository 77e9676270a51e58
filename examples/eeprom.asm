; eeprom.asm - writes A5h to data EEPROM address 10h with the unlock sequence, waits for the
; write to finish, then reads the byte back into `readback`. The first four EEPROM bytes come
; with the program image.
; Ends at `done` with EEPROM[10h] = A5h and readback = W = A5h.
        LIST    P=16F84
        #include <p16f84.inc>
        __CONFIG _CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC

        cblock  0x0C
        readback
        endc

        org     0
start   bcf     STATUS,RP0
        movlw   0x10
        movwf   EEADR
        movlw   0xA5
        movwf   EEDATA
        bsf     STATUS,RP0
        bsf     EECON1,WREN     ; allow writes
        movlw   0x55            ; unlock: 55h then AAh to EECON2, then WR
        movwf   EECON2
        movlw   0xAA
        movwf   EECON2
        bsf     EECON1,WR
wait    btfsc   EECON1,WR       ; WR clears when the write is done
        goto    wait
        bcf     EECON1,WREN
        bcf     EECON1,EEIF
        bcf     STATUS,RP0
        clrf    EEDATA          ; so the read below visibly brings the byte back
        bsf     STATUS,RP0
        bsf     EECON1,RD
        bcf     STATUS,RP0
        movf    EEDATA,W
        movwf   readback
done    goto    done

        org     0x2100          ; initial EEPROM contents
        de      0x01, 0x02, 0x03, 0x04
        end
