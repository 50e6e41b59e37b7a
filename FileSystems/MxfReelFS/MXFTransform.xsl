<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="2.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/">
    <xsl:apply-templates select="/Partition/Preface"/>
  </xsl:template>
  <xsl:template match="/Partition/Preface">
    <Attributes>
      <FileName><xsl:value-of select="concat(ContentStorageObject/@ID, '.mxf')"/></FileName>
      <LastModifiedDate><xsl:value-of select="LastModifiedDate/@value"/></LastModifiedDate>
    </Attributes>
  </xsl:template>
</xsl:stylesheet>
